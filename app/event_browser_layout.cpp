// Creation and arrangement of the event browser's controls.
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/event_browser.h"
#include "app/event_browser_parts.h"
#include "app/event_row_model.h"
#include "app/rate_graph.h"

namespace {

QToolButton* ToolButton(QWidget* parent, const QString& text, const char* name,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(false);
    return button;
}

QPushButton* PushButton(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

void EventBrowser::CreateControls() {
    setObjectName(QStringLiteral("eventBrowser"));
    resize(1180, 760);

    // Top row: the source, saving, the kinds shown and the search.
    m_openLog = ToolButton(this, tr("Open log..."), "openLog",
                           tr("List the messages of a captured ApiLog.txt"));
    m_liveButton = ToolButton(this, tr("Live"), "liveSource",
                              tr("Back to the messages of the long connection"));
    m_savePictures = ToolButton(this, tr("Save pictures"), "savePictures",
                                tr("File the pictures of rows under a folder of your choice"));
    m_savePictures->setPopupMode(QToolButton::InstantPopup);
    auto* saveMenu = new QMenu(m_savePictures);
    QAction* saveSelected = saveMenu->addAction(tr("Pictures of the selected rows..."));
    saveSelected->setObjectName(QStringLiteral("saveSelectedPictures"));
    QAction* saveAll = saveMenu->addAction(tr("Pictures of all rows shown..."));
    saveAll->setObjectName(QStringLiteral("saveAllPictures"));
    m_savePictures->setMenu(saveMenu);
    connect(saveSelected, &QAction::triggered, this, [this] { SavePictures(true); });
    connect(saveAll, &QAction::triggered, this, [this] { SavePictures(false); });

    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("source"));
    m_source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    static const char* const kKindNames[] = {"kindAnswers", "kindEvents", "kindOther",
                                             "kindIncomplete", "kindSent"};
    const QString kindTexts[] = {tr("Answers"), tr("Events"), tr("Other"), tr("Incomplete"),
                                 tr("Sent")};
    auto* kinds = new QHBoxLayout;
    kinds->setSpacing(8);
    kinds->addWidget(new QLabel(tr("Show:"), this));
    for (int i = 0; i < 5; ++i) {
        m_kinds[i] = new QCheckBox(kindTexts[i], this);
        m_kinds[i]->setObjectName(QString::fromLatin1(kKindNames[i]));
        m_kinds[i]->setChecked(true);
        kinds->addWidget(m_kinds[i]);
    }

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("searchText"));
    m_search->setPlaceholderText(tr("Search the messages' text (Enter)"));
    m_search->setClearButtonEnabled(true);
    m_search->setMinimumWidth(220);

    auto* top = new QHBoxLayout;
    top->addWidget(m_openLog);
    top->addWidget(m_liveButton);
    top->addWidget(m_savePictures);
    top->addSpacing(12);
    top->addLayout(kinds);
    top->addStretch(1);
    top->addWidget(m_search, 1);

    // The table of rows.
    m_model = new EventRowModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("eventTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = m_table->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[EventRowModel::kColumns] = {7 * digit,  13 * digit, 9 * digit,
                                                 19 * digit, 5 * digit,  18 * digit,
                                                 13 * digit, 11 * digit, 7 * digit};
    for (int column = 0; column < EventRowModel::kColumns; ++column)
        m_table->setColumnWidth(column, widths[column]);
    header->setStretchLastSection(true);

    // Beside the table: smart types with their counts and the rate of events.
    m_types = new QListWidget(this);
    m_types->setObjectName(QStringLiteral("smartTypes"));
    m_types->setToolTip(tr("Events of the checked smart types are shown"));
    m_types->setMinimumHeight(40);
    m_graph = new RateGraph(this);
    m_graph->setObjectName(QStringLiteral("rateGraph"));
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(new QLabel(tr("Smart types"), side));
    sideLayout->addWidget(m_types, 1);
    sideLayout->addWidget(m_graph);

    auto* upper = new QSplitter(Qt::Horizontal, this);
    upper->addWidget(m_table);
    upper->addWidget(side);
    upper->setStretchFactor(0, 4);
    upper->setStretchFactor(1, 1);
    upper->setSizes({900, 250});

    // The detail of the selected row.
    m_detailHeader = new QLabel(tr("Select a row to see its message."), this);
    m_detailHeader->setObjectName(QStringLiteral("detailHeader"));
    m_detailHeader->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detailHeader->setWordWrap(true);
    m_detailProblem = new QLabel(this);
    m_detailProblem->setObjectName(QStringLiteral("detailProblem"));
    m_detailProblem->setWordWrap(true);
    m_detailProblem->setStyleSheet(QStringLiteral("color: #b02020;"));
    m_detailProblem->hide();
    m_expandAll = PushButton(this, tr("Expand all Base64"), "expandBase64");
    m_copyMessage = PushButton(this, tr("Copy message"), "copyMessage");
    m_copyMessage->setToolTip(tr("Copy every byte of the message as it lies in the log"));
    m_indent = new QCheckBox(tr("Indent XML"), this);
    m_indent->setObjectName(QStringLiteral("indentXml"));
    m_indent->setChecked(true);
    m_indent->setToolTip(tr("Show XML that arrived on few lines indented"));
    m_detailText = new QPlainTextEdit(this);
    m_detailText->setObjectName(QStringLiteral("detailText"));
    m_detailText->setReadOnly(true);
    m_detailText->setUndoRedoEnabled(false);
    m_detailText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_detailText->setWordWrapMode(QTextOption::WrapAnywhere);
    m_detailText->setContextMenuPolicy(Qt::CustomContextMenu);
    m_detailText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_detailText->setTabStopDistance(4 * QFontMetricsF(m_detailText->font()).averageCharWidth());
    new DetailHighlighter(m_detailText->document());

    auto* detailButtons = new QHBoxLayout;
    detailButtons->addWidget(m_detailHeader, 1);
    detailButtons->addWidget(m_indent);
    detailButtons->addWidget(m_expandAll);
    detailButtons->addWidget(m_copyMessage);

    // The pictures of the message, in a column beside its text.
    m_thumbStrip = new QWidget;
    m_thumbStrip->setObjectName(QStringLiteral("thumbnails"));
    m_thumbLayout = new QVBoxLayout(m_thumbStrip);
    m_thumbLayout->setContentsMargins(2, 2, 2, 2);
    m_thumbLayout->addStretch(1);
    auto* thumbScroll = new QScrollArea(this);
    thumbScroll->setWidget(m_thumbStrip);
    thumbScroll->setWidgetResizable(true);
    thumbScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    thumbScroll->setMinimumWidth(kThumbnailSide + 40);

    auto* textAndPictures = new QSplitter(Qt::Horizontal, this);
    textAndPictures->addWidget(m_detailText);
    textAndPictures->addWidget(thumbScroll);
    textAndPictures->setStretchFactor(0, 1);
    textAndPictures->setStretchFactor(1, 0);
    textAndPictures->setSizes({900, kThumbnailSide + 60});

    auto* detail = new QWidget(this);
    auto* detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addLayout(detailButtons);
    detailLayout->addWidget(m_detailProblem);
    detailLayout->addWidget(textAndPictures, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(upper);
    split->addWidget(detail);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({330, 430});

    // Bottom row: counts, the jump to the newest row, a long task's progress.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_jump = PushButton(this, QString(), "jumpNewest");
    m_jump->hide();
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setMaximumWidth(260);
    m_progress->setTextVisible(true);
    m_progress->hide();
    m_cancel = PushButton(this, tr("Cancel"), "cancelTask");
    m_cancel->hide();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_source);
    bottom->addWidget(m_progress);
    bottom->addWidget(m_cancel);
    bottom->addWidget(m_jump);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top);
    whole->addWidget(split, 1);
    whole->addLayout(bottom);

    m_tick = new QTimer(this);
    m_tick->setInterval(1000);
    m_detailTimer = new QTimer(this);
    m_detailTimer->setSingleShot(true);
}
