#include "ui/mainlayout.h"

#include "ui/accessibility.h"
#include "vocabulary/fields.h"
#include "vocabulary/products.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <array>

// The window icons are compiled into this library; a static library's resources must be registered by hand.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace ui {
namespace {

// Where each product's option stands in the "Product ID" frame, one beneath the other.
struct OptionPlace {
    int top;
    int width;
};
inline constexpr std::array ProductOptions{OptionPlace{360, 1215}, OptionPlace{720, 2175},
                                           OptionPlace{1080, 2175}};
static_assert(ProductOptions.size() == vocabulary::Products.size(),
              "a product added to the table needs its row");

QList<ControlSpec> productOptions()
{
    QList<ControlSpec> rows;
    for (int i = 0; i < vocabulary::ProductCount; ++i) {
        const OptionPlace &at = ProductOptions[std::size_t(i)];
        rows.append({QStringLiteral("optProduct(%1)").arg(i), Kind::OptionButton,
                     vocabulary::Products[std::size_t(i)].caption, "fraProductID", 240, at.top, at.width, 375,
                     i + 1});
    }
    return rows;
}

} // namespace

const QList<ControlSpec> &mainWindowLayout()
{
    static const QList<ControlSpec> table =
        QList<ControlSpec>{
            {"fraProductID", Kind::Frame, "Product ID", {}, 150, 240, 2835, 1575, 0},
            {"fraNmea", Kind::Frame, "Standard NMEA 0183 Sentences", {}, 3240, 240, 6550, 1575, 4},
            {"fraComPort", Kind::Frame, "", {}, 150, 1920, 2835, 615, 14},
            {"fraVelmora",
             Kind::Frame,
             "Velmora $PVLM Proprietary NMEA 0183 Sentences",
             {},
             3240,
             1920,
             6550,
             1335,
             17},
            {"cmdQuit", Kind::CommandButton, "Quit", {}, 150, 2760, 2835, 500, 13},
        } +
        productOptions() +
        QList<ControlSpec>{
            {"lblCommsPort", Kind::Label, "COM Port = 0", "fraComPort", 840, 240, 1095, 255, 15},

            {"lblNmeaTalker", Kind::Label, "Talker ID", "fraNmea", 210, 300, 675, 255, 10},
            {"lblNmeaID", Kind::Label, "Indentifier", "fraNmea", 1650, 300, 705, 255, 9},
            {"lblNmeaCommas", Kind::Label, "Commas", "fraNmea", 3045, 300, 630, 255, 8},
            {"lblMemoryLocation1", Kind::Label, "Memory Location", "fraNmea", 3900, 300, 1335, 255, 12},
            {"cmbNmeaTalker", Kind::ComboBox, "AG", "fraNmea", 120, 645, 850, 315, 7},
            {"cmbNmeaID", Kind::ComboBox, "AAM", "fraNmea", 1350, 645, 1300, 315, 6},
            {"cmbNmeaCommas", Kind::ComboBox, "1", "fraNmea", 3000, 645, 735, 315, 5},
            {"cboMemoryLocation1", Kind::ComboBox, "1", "fraNmea", 3960, 645, 1215, 315, 11},
            {"cmdSend1", Kind::CommandButton, "Send", "fraNmea", 5280, 645, 1155, 315, 16},
            {"cboXDR", Kind::ComboBox, "A - Amps", "fraNmea", 1350, 1080, 5100, 315, 23},

            {"lblVmInstrumentID", Kind::Label, "Velmora Instrument", "fraVelmora", 1560, 480, 1335, 255, 22},
            {"lblMemoryLocation2", Kind::Label, "Memory Location", "fraVelmora", 3900, 480, 1335, 255, 20},
            {"cboVmInstrumentID", Kind::ComboBox, "WX20/40 WINDLASS BATTERY VOLTAGE", "fraVelmora", 120, 825,
             3735, 315, 21},
            {"cboMemoryLocation2", Kind::ComboBox, "1", "fraVelmora", 3960, 825, 1215, 315, 19},
            {"cmdSend2", Kind::CommandButton, "Send", "fraVelmora", 5280, 825, 1155, 315, 18},
        };
    return table;
}

void MainForm::setupUi(QMainWindow *window)
{
    initResources();
    window->setObjectName(QStringLiteral("frmMain"));
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/mdconfig.png")));
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("clientArea"));
    client->setFixedSize(pixels(9975), pixels(3525));
    window->setCentralWidget(client);
    const QHash<QString, QWidget *> controls = buildControls(client, mainWindowLayout());
    const auto combo = [&](const char *name) {
        return qobject_cast<QComboBox *>(controls.value(QLatin1String(name)));
    };
    const auto button = [&](const char *name) {
        return qobject_cast<QPushButton *>(controls.value(QLatin1String(name)));
    };
    using vocabulary::List;
    lists = {{cmbNmeaTalker = combo("cmbNmeaTalker"), List::Talker},
             {cmbNmeaID = combo("cmbNmeaID"), List::Identifier},
             {cmbNmeaCommas = combo("cmbNmeaCommas"), List::Commas},
             {cboMemoryLocation1 = combo("cboMemoryLocation1"), List::MemoryLocation1},
             {cboXDR = combo("cboXDR"), List::Xdr},
             {cboVmInstrumentID = combo("cboVmInstrumentID"), List::Instrument},
             {cboMemoryLocation2 = combo("cboMemoryLocation2"), List::MemoryLocation2}};
    cmdSend1 = button("cmdSend1");
    cmdSend2 = button("cmdSend2");
    cmdQuit = button("cmdQuit");
    lblCommsPort = qobject_cast<QLabel *>(controls.value(QStringLiteral("lblCommsPort")));
    cboXDR->hide();

    // The lists are named by the labels above them; the transducer type list has none of its own.
    nameByLabels(controls, {{"lblNmeaTalker", "cmbNmeaTalker"},
                            {"lblNmeaID", "cmbNmeaID"},
                            {"lblNmeaCommas", "cmbNmeaCommas"},
                            {"lblMemoryLocation1", "cboMemoryLocation1"},
                            {"lblVmInstrumentID", "cboVmInstrumentID"},
                            {"lblMemoryLocation2", "cboMemoryLocation2"}});
    cboXDR->setAccessibleName(QStringLiteral("Transducer type"));

    productGroup = new OptionGroup(window);
    optProduct = productGroup->addArray(controls, QStringLiteral("optProduct"), vocabulary::ProductCount);
    optProduct[vocabulary::DefaultProductIndex]->setChecked(true);

    const auto menu = [&](const QString &name) {
        QMenu *m = window->menuBar()->addMenu(name);
        m->setObjectName(name);
        return m;
    };
    const auto item = [](QMenu *m, const QString &caption, const QString &name) {
        QAction *a = m->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    QMenu *edit = menu(QStringLiteral("Edit"));
    ComsPort = item(edit, QStringLiteral("COM Port"), QStringLiteral("ComsPort"));
    // The whole display: a menu of its own after "Edit", so the original menus keep their items and order.
    QMenu *display = menu(QStringLiteral("Display"));
    Plan = item(display, QStringLiteral("Plan…"), QStringLiteral("Plan"));
    BusMonitor = item(display, QStringLiteral("Bus monitor…"), QStringLiteral("BusMonitor"));
    QMenu *help = menu(QStringLiteral("Help"));
    Help_MD20_40 = item(help, QStringLiteral("MD20/40"), QStringLiteral("Help_MD20_40"));
    Help_MD90 = item(help, QStringLiteral("MD90"), QStringLiteral("Help_MD90"));
    About = item(help, QStringLiteral("About"), QStringLiteral("About"));

    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

frame::Configuration MainForm::standard(int icon) const
{
    using vocabulary::List;
    return {vocabulary::shownNumber(List::MemoryLocation1, cboMemoryLocation1->currentIndex()),
            frame::Standard{cmbNmeaTalker->currentIndex(), cmbNmeaID->currentIndex(),
                            vocabulary::shownNumber(List::Commas, cmbNmeaCommas->currentIndex()),
                            cboXDR->currentIndex()},
            icon};
}

frame::Configuration MainForm::proprietary(int icon) const
{
    return {vocabulary::shownNumber(vocabulary::List::MemoryLocation2, cboMemoryLocation2->currentIndex()),
            frame::Instrument{cboVmInstrumentID->currentIndex()}, icon};
}

void MainForm::showStandard(const frame::Standard &s)
{
    if (s.talker >= 0)
        cmbNmeaTalker->setCurrentIndex(s.talker);
    if (s.sentence >= 0)
        cmbNmeaID->setCurrentIndex(s.sentence);
    if (s.field >= 1 && s.field <= vocabulary::CommaCount)
        cmbNmeaCommas->setCurrentIndex(s.field - 1);
    if (s.sentence == vocabulary::XdrPosition && s.type >= 0)
        cboXDR->setCurrentIndex(s.type);
}

void MainForm::showFieldCaptions()
{
    const QString identifier = cmbNmeaID->currentText();
    for (int i = 0; i < cmbNmeaCommas->count(); ++i)
        cmbNmeaCommas->setItemData(i, vocabulary::fieldCaption(identifier, i + 1), Qt::ToolTipRole);
    const int chosen = cmbNmeaCommas->currentIndex();
    cmbNmeaCommas->setToolTip(chosen < 0 ? QString() : vocabulary::fieldCaption(identifier, chosen + 1));
}

} // namespace ui
