// Windows are built from tables of controls in twips, the unit their layout is drawn up in: one row per
// control, turned into widgets by one function, so a test can walk the same table the window was built from.
#pragma once

#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>

class QWidget;

namespace ui {

enum class Kind { Frame, Label, ComboBox, CommandButton, OptionButton, ProgressBar };

struct ControlSpec {
    QString name; // the control's name, also its Qt object name; "optProduct(2)" for an array element
    Kind kind;
    QString caption;              // caption or initial text
    QString container;            // the frame it stands in; empty for the window's client area
    int left, top, width, height; // twips, from the container's outer corner
    int tab;                      // keyboard order within the window; -1 for none
};

inline constexpr int TwipsPerPixel = 15;
inline int pixels(int twips)
{
    return (twips * 2 + TwipsPerPixel) / (2 * TwipsPerPixel);
}
inline int twips(int pixels)
{
    return pixels * TwipsPerPixel;
}

// Creates the table's controls on the window, keyed by name, and chains the focusable ones by tab index.
QHash<QString, QWidget *> buildControls(QWidget *clientArea, const QList<ControlSpec> &table);

// Lets a label or option button grow from its corner when its caption needs more room than its table gives.
void fitCaption(QWidget *w, Kind kind);

// The window flags of a window with a title but no close, minimize or maximize box.
void makeSecondaryWindow(QWidget *window);

// Puts a window's outer top-left corner at a position given in twips, and reads it back.
void moveTwips(QWidget *window, int left, int top);
QPoint positionTwips(const QWidget *window);

// Line breaks as the message texts are written (CR LF) to what a Qt label breaks on.
QString displayText(QString text);

} // namespace ui
