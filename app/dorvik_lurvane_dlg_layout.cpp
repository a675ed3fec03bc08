// Creation and arrangement of the window's controls.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/answer_box.h"
#include "app/box_look.h"
#include "app/control_ids.h"
#include "app/dialog_units.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/status_strip.h"

namespace {
// Size of the window in dialog units.
constexpr int kWidthUnits = 895;
constexpr int kHeightUnits = 462;
// Width of the list's one column in pixels.
constexpr int kInterfaceColumnWidth = 290;

QLineEdit* MakeLine(QWidget* parent, int id, bool digitsOnly = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(ControlName(id));
    if (digitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(ControlName(id));
    button->setAutoDefault(false);
    return button;
}

// A multi-line box with a vertical scroll bar, wrapped to its width. Its look (font,
// highlighting, where lines wrap) is the BoxLook's.
template <class Box>
Box* MakeTextBox(QWidget* parent, int id, const QString& tip) {
    auto* box = new Box(parent);
    box->setObjectName(ControlName(id));
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setToolTip(tip);
    return box;
}

StatusStrip* MakeStrip(QWidget* parent, const QString& name) {
    auto* strip = new StatusStrip(parent);
    strip->setObjectName(name);
    return strip;
}

// A column of the splitter: a widget holding the layout, without margins of its own.
QWidget* Column(QWidget* parent, QLayout* layout) {
    auto* column = new QWidget(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    column->setLayout(layout);
    return column;
}

QLabel* MakeLabel(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}
}  // namespace

void CDorvik_LurvaneDlg::CreateControls() {
    // It starts at its designed size and may grow; the text boxes take the extra space.
    const QSize start = DialogUnitsToPixels(font(), kWidthUnits, kHeightUnits);
    setMinimumSize(start);
    resize(start);
    setSizeGripEnabled(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    // Top row: IP, user name, password and their toggle.
    m_editIp = MakeLine(this, ControlId::kIp);
    m_editUser = MakeLine(this, ControlId::kUser);
    m_editPassword = MakeLine(this, ControlId::kPassword);
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_btnChangeAccount =
        MakeButton(this, ControlId::kChangeAccount, QStringLiteral("Change IP/username/password"));
    // Devices used before; open even while the fields are locked.
    m_btnDevices = new QToolButton(this);
    m_btnDevices->setObjectName(QStringLiteral("devices"));
    m_btnDevices->setText(QStringLiteral("Devices"));
    m_btnDevices->setToolTip(QStringLiteral("Devices used before: fill in the fields"));
    m_btnDevices->setPopupMode(QToolButton::InstantPopup);
    m_menuDevices = new QMenu(m_btnDevices);
    m_menuDevices->setObjectName(QStringLiteral("devicesMenu"));
    m_btnDevices->setMenu(m_menuDevices);
    auto* top = new QHBoxLayout;
    top->addWidget(MakeLabel(this, QStringLiteral("Please enter the IP and Port:")));
    top->addWidget(m_editIp, 2);
    top->addWidget(m_btnDevices);
    top->addSpacing(12);
    top->addWidget(MakeLabel(this, QStringLiteral("username")));
    top->addWidget(m_editUser, 2);
    top->addSpacing(12);
    top->addWidget(MakeLabel(this, QStringLiteral("password")));
    top->addWidget(m_editPassword, 2);
    top->addSpacing(12);
    top->addWidget(m_btnChangeAccount);
    // What became of a device or its password; a long text is cut rather than squeezing the
    // fields of the fixed-size window.
    m_labelDeviceStatus = new QLabel(this);
    m_labelDeviceStatus->setObjectName(QStringLiteral("deviceStatus"));
    m_labelDeviceStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addSpacing(12);
    top->addWidget(m_labelDeviceStatus, 3);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    // Left column: ports, connection mode, modules and the interface list.
    m_editLongPort = MakeLine(this, ControlId::kLongPort, true);
    m_editShortPort = MakeLine(this, ControlId::kShortPort, true);
    m_btnChangePort = MakeButton(this, ControlId::kChangePort, QStringLiteral("Change Port"));
    auto* ports = new QGridLayout;
    ports->addWidget(MakeLabel(this, QStringLiteral("Long port")), 0, 0);
    ports->addWidget(m_editLongPort, 0, 1);
    ports->addWidget(MakeLabel(this, QStringLiteral("Short port")), 1, 0);
    ports->addWidget(m_editShortPort, 1, 1);
    ports->addWidget(m_btnChangePort, 0, 2, 2, 1);
    // Locked and unlocked with the ports: both describe how the device is reached.
    m_checkTls = new QCheckBox(QStringLiteral("TLS"), this);
    m_checkTls->setObjectName(QStringLiteral("tls"));
    m_checkTls->setToolTip(
        QStringLiteral("Both connections over TLS (https:// for the short one). A device "
                       "whose certificate no authority vouches for is shown with its key "
                       "once; a key you trust is remembered for its address and port."));
    ports->addWidget(m_checkTls, 2, 1);

    m_radioLong = new QRadioButton(QStringLiteral("Long connect"), this);
    m_radioLong->setObjectName(ControlName(ControlId::kLongConnect));
    m_radioShort = new QRadioButton(QStringLiteral("Short connect"), this);
    m_radioShort->setObjectName(ControlName(ControlId::kShortConnect));
    m_groupMode = new QButtonGroup(this);
    m_groupMode->addButton(m_radioLong, kConnLong);
    m_groupMode->addButton(m_radioShort, kConnShort);
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_radioLong);
    modes->addWidget(m_radioShort);
    modes->addStretch();

    m_comboModule = new QComboBox(this);
    m_comboModule->setObjectName(ControlName(ControlId::kModule));
    m_comboModule->setEditable(false);
    m_comboModule->setMaxVisibleItems(20);
    auto* modules = new QHBoxLayout;
    modules->addWidget(MakeLabel(this, QStringLiteral("Modules")));
    modules->addWidget(m_comboModule, 1);

    m_listInterface = new QTableWidget(0, 1, this);
    m_listInterface->setObjectName(ControlName(ControlId::kInterfaceList));
    m_listInterface->setHorizontalHeaderLabels({QStringLiteral("Interface Name")});
    m_listInterface->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_listInterface->horizontalHeader()->setStretchLastSection(false);
    m_listInterface->setColumnWidth(0, kInterfaceColumnWidth);
    m_listInterface->verticalHeader()->hide();
    m_listInterface->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_listInterface->setShowGrid(true);
    m_listInterface->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listInterface->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listInterface->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listInterface->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listInterface->setMinimumWidth(kInterfaceColumnWidth + 24);
    m_listInterface->setTabKeyNavigation(false);  // Tab leaves the list
    m_listInterface->setToolTip(
        QStringLiteral("Click, Enter or the arrow keys load the request into the editor"));

    auto* left = new QVBoxLayout;
    left->addLayout(ports);
    left->addLayout(modes);
    left->addLayout(modules);
    left->addWidget(m_listInterface, 1);

    // The two panes sit in a splitter, so that either can be made wider.
    auto* panes = new QSplitter(Qt::Horizontal, this);
    panes->setObjectName(QStringLiteral("panes"));
    panes->setChildrenCollapsible(false);

    // Centre column: request editor, send buttons, response box and its status strip.
    m_editRequest = MakeTextBox<QPlainTextEdit>(
        this, ControlId::kRequest,
        QStringLiteral("The request. Short connect send posts the path of its first line and "
                       "the body after its blank line; libcurl writes the headers and the "
                       "authentication. Long connect send sends it as it stands, with a true "
                       "Content-Length.\nCtrl+Enter sends, Ctrl+F finds; right-click: Copy as "
                       "curl"));
    m_lookRequest = new BoxLook(m_editRequest);
    m_btnSelectProtocol =
        MakeButton(this, ControlId::kSelectProtocol, QStringLiteral("Select Protocol"));
    m_btnLongSend = MakeButton(this, ControlId::kLongSend, QStringLiteral("Long connect send"));
    m_btnLongSend->setToolTip(
        QStringLiteral("Send the editor's request on the long connection "
                       "(Ctrl+Enter in long mode)"));
    m_btnShortSend = MakeButton(this, ControlId::kShortSend, QStringLiteral("Short connect send"));
    m_btnEvents = new QPushButton(QStringLiteral("Events"), this);
    m_btnEvents->setObjectName(QStringLiteral("events"));
    m_btnEvents->setAutoDefault(false);
    m_btnEvents->setToolTip(
        QStringLiteral("Every message of the long connection, with its pictures (Ctrl+E)"));
    m_btnShortSend->setToolTip(
        QStringLiteral("Post the editor's request on a short connection "
                       "(Ctrl+Enter in short mode; Escape cancels)"));
    // Stands in for the disabled send button while a post runs.
    m_btnStop = new QPushButton(QStringLiteral("Stop"), this);
    m_btnStop->setObjectName(QStringLiteral("stop"));
    m_btnStop->setAutoDefault(false);
    m_btnStop->setToolTip(QStringLiteral("Give up the running post (Escape)"));
    m_btnStop->hide();
    m_labelStatus = new QLabel(this);
    m_labelStatus->setObjectName(QStringLiteral("status"));
    const QString answerTip = QStringLiteral(
        "Ctrl+F finds, Ctrl+S saves the whole answer; a shortened answer is "
        "copied whole");
    m_editResult = MakeTextBox<AnswerBox>(this, ControlId::kResult, answerTip);
    m_stripResult = MakeStrip(this, QStringLiteral("resultStatus"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnSelectProtocol);
    buttons->addWidget(m_btnLongSend);
    buttons->addWidget(m_btnEvents);
    buttons->addWidget(m_btnShortSend);
    buttons->addWidget(m_btnStop);
    buttons->addWidget(m_labelStatus, 1);
    auto* centre = new QVBoxLayout;
    centre->addWidget(m_editRequest, 1);
    centre->addLayout(buttons);
    centre->addWidget(MakeLabel(this, QStringLiteral("Command response results:")));
    centre->addWidget(m_editResult, 1);
    centre->addWidget(m_stripResult);

    // Right column: the paired interface's pane.
    m_editPairRequest = MakeTextBox<QPlainTextEdit>(
        this, ControlId::kPairRequest,
        QStringLiteral("The paired interface's request: Send posts the path of its first line "
                       "and the body after its blank line (Ctrl+Shift+Enter)"));
    m_lookPairRequest = new BoxLook(m_editPairRequest);
    m_btnPairSend = MakeButton(this, ControlId::kPairSend, QStringLiteral("Send"));
    m_btnPairSend->setToolTip(QStringLiteral("Post the paired request (Ctrl+Shift+Enter)"));
    m_editPairResult = MakeTextBox<AnswerBox>(this, ControlId::kPairResult, answerTip);
    m_stripPairResult = MakeStrip(this, QStringLiteral("pairResultStatus"));
    auto* pairButtons = new QHBoxLayout;
    pairButtons->addWidget(m_btnPairSend);
    pairButtons->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_editPairRequest, 1);
    right->addLayout(pairButtons);
    right->addWidget(MakeLabel(this, QStringLiteral("Command response results:")));
    right->addWidget(m_editPairResult, 1);
    right->addWidget(m_stripPairResult);

    panes->addWidget(Column(panes, centre));
    panes->addWidget(Column(panes, right));
    panes->setStretchFactor(0, 1);
    panes->setStretchFactor(1, 1);
    panes->setSizes({1 << 20, 1 << 20});  // equal halves, as the columns were before

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addWidget(panes, 1);

    CreateFindBar();

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top);
    whole->addWidget(rule);
    whole->addLayout(columns, 1);
    whole->addWidget(m_findBar);
}
