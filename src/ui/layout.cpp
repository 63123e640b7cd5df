#include "ui/layout.h"

#include "ui/accessibility.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace ui {

// The layout was drawn for a small, narrow dialog font. A caption that needs more room with the font this
// desktop has grows to the right and downwards from its corner, so it is never cut off; nothing moves.
void fitCaption(QWidget *w, Kind kind)
{
    if (kind != Kind::Label && kind != Kind::OptionButton)
        return;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        // A label drawn two or more lines high wraps within its width instead.
        if (label->height() >= 2 * label->fontMetrics().height()) {
            const int needed = label->heightForWidth(label->width());
            if (needed > label->height())
                label->resize(label->width(), needed);
            return;
        }
        label->setWordWrap(false);
    }
    const QSize hint = w->sizeHint();
    w->resize(qMax(w->width(), hint.width()), qMax(w->height(), hint.height()));
}

QHash<QString, QWidget *> buildControls(QWidget *clientArea, const QList<ControlSpec> &table)
{
    QHash<QString, QWidget *> controls;
    QList<QPair<int, QWidget *>> focusable;
    for (const ControlSpec &row : table) {
        QWidget *parent = row.container.isEmpty() ? clientArea : controls.value(row.container, clientArea);
        QWidget *w = nullptr;
        switch (row.kind) {
        case Kind::Frame:
            w = new QGroupBox(row.caption, parent);
            break;
        case Kind::Label: {
            auto *label = new QLabel(row.caption, parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case Kind::ComboBox: {
            auto *combo = new ChoiceCombo(parent);
            combo->setEditText(row.caption);
            w = combo;
            break;
        }
        case Kind::CommandButton: {
            auto *button = new QPushButton(row.caption, parent);
            // Enter presses a button only when it has the focus; Escape presses none.
            button->setAutoDefault(false);
            button->setDefault(false);
            pressWithEnter(button);
            w = button;
            break;
        }
        case Kind::OptionButton:
            w = new QRadioButton(row.caption, parent);
            break;
        case Kind::ProgressBar: {
            auto *bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            w = bar;
            break;
        }
        }
        w->setObjectName(row.name);
        if (row.kind != Kind::ComboBox && row.kind != Kind::ProgressBar)
            nameAfterCaption(w, row.caption);
        w->setGeometry(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height));
        fitCaption(w, row.kind);
        controls.insert(row.name, w);
        if (row.tab >= 0 && w->focusPolicy() != Qt::NoFocus)
            focusable.append({row.tab, w});
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (int i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
    return controls;
}

void makeSecondaryWindow(QWidget *window)
{
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void moveTwips(QWidget *window, int left, int top)
{
    window->move(pixels(left), pixels(top));
}

QPoint positionTwips(const QWidget *window)
{
    return {twips(window->x()), twips(window->y())};
}

QString displayText(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace ui
