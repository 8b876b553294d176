#include "crashes/views/CrashView.h"

#include "crashes/CrashLogFetcher.h"
#include "crashes/views/CrashDetailPane.h"
#include "crashes/views/CrashFolderBar.h"
#include "crashes/views/CrashRow.h"
#include "crashes/views/CrashTableHeader.h"
#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/TextStyles.h"
#include "ui/TintedBar.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QFrame* divider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

}  // namespace

CrashView::CrashView(AISettings* aiSettings, QWidget* parent)
    : QWidget(parent), m_aiSettings(aiSettings), m_fetcher(new CrashLogFetcher(this))
{
    setObjectName(QStringLiteral("crashView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_folderBar = new CrashFolderBar;
    connect(m_folderBar, &CrashFolderBar::openRequested, this, &CrashView::chooseFolder);
    connect(m_folderBar, &CrashFolderBar::closeRequested, this, [this] { setFolder(std::nullopt); });
    outer->addWidget(m_folderBar);
    outer->addWidget(divider());
    m_unreadBar = new TintedBar(QStringLiteral("exclamationmark.triangle"), TintedBar::Tint::orange);
    m_unreadBar->setObjectName(QStringLiteral("crashUnreadBar"));
    m_unreadBar->label()->setObjectName(QStringLiteral("crashUnreadNotice"));
    m_unreadBar->row()->setStretchFactor(m_unreadBar->label(), 1);
    outer->addWidget(m_unreadBar);
    m_stack = new QStackedWidget;
    outer->addWidget(m_stack);

    // Empty state.
    auto* empty = new QWidget;
    empty->setObjectName(QStringLiteral("crashEmptyState"));
    auto* ecol = new QVBoxLayout(empty);
    ecol->setSpacing(8);
    ecol->addStretch(1);
    auto* check = new QLabel;
    check->setPixmap(ViewStyle::pixmap(QStringLiteral("checkmark.circle"), ViewStyle::green(), 24));
    ecol->addWidget(check, 0, Qt::AlignHCenter);
    m_emptyText = TextStyles::label(QString(), Style::body, true, true);
    m_emptyText->setObjectName(QStringLiteral("crashEmptyText"));
    ecol->addWidget(TextStyles::centredWrapped(m_emptyText, 420));
    auto* openFolder = new QPushButton(QStringLiteral("Open Folder…"));
    openFolder->setObjectName(QStringLiteral("crashEmptyOpenFolderButton"));
    connect(openFolder, &QPushButton::clicked, this, &CrashView::chooseFolder);
    ecol->addWidget(openFolder, 0, Qt::AlignHCenter);
    ecol->addStretch(1);
    m_stack->addWidget(empty);

    // Scanning.
    auto* scanning = new QWidget;
    scanning->setObjectName(QStringLiteral("crashScanning"));
    auto* scol = new QVBoxLayout(scanning);
    scol->setSpacing(8);
    scol->addStretch(1);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(160);
    spinner->setMaximumHeight(8);
    scol->addWidget(spinner, 0, Qt::AlignHCenter);
    auto* scanText = TextStyles::label(QStringLiteral("Scanning crash reports…"), Style::body, true);
    scanText->setObjectName(QStringLiteral("crashScanningText"));
    scol->addWidget(scanText, 0, Qt::AlignHCenter);
    scol->addStretch(1);
    m_stack->addWidget(scanning);

    // Table.
    auto* table = new QWidget;
    table->setObjectName(QStringLiteral("crashTable"));
    auto* tcol = new QVBoxLayout(table);
    tcol->setContentsMargins(0, 0, 0, 0);
    tcol->setSpacing(0);
    auto* header = new CrashTableHeader;
    tcol->addWidget(header);
    tcol->addWidget(divider());
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("crashList"));
    m_model = new CrashListModel(m_list);
    connect(header, &CrashTableHeader::sortRequested, this, [this, header](CrashListModel::SortKey key) {
        m_model->sortBy(key);
        header->setSort(m_model->sortKey(), m_model->sortDescending());
    });
    m_delegate = new CrashRow(m_list);
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setMouseTracking(true);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& idx) {
        if (const CrashReport* r = m_model->reportAt(idx.row()))
            toggleSelection(*r);
    });
    new RowKeys(
        m_list,
        [this] {
            for (int row = 0; m_selected && row < m_model->rowCount(); ++row)
                if (m_model->reportAt(row)->id == m_selected->id)
                    return row;
            return -1;
        },
        [this](int row) {
            m_selected = *m_model->reportAt(row);
            applySelection();
        });
    tcol->addWidget(m_list, 1);
    m_handle = new PaneResizeBar;
    m_handle->setObjectName(QStringLiteral("crashResizeHandle"));
    connect(m_handle, &PaneResizeBar::dragMoved, this, &CrashView::dragHandle);
    tcol->addWidget(m_handle);
    m_pane = new CrashDetailPane(m_aiSettings);
    tcol->addWidget(m_pane);
    m_stack->addWidget(table);

    connect(m_fetcher, &CrashLogFetcher::reportsChanged, this, [this] {
        m_model->setReports(m_fetcher->reports());
        const QList<UnreadReport>& unread = m_fetcher->unread();
        m_unreadBar->setVisible(!unread.isEmpty());
        m_unreadBar->label()->setText(unreadNotice(unread.size()));
        m_unreadBar->label()->setToolTip(unread.isEmpty() ? QString() : PlainText::toolTip(unreadDetail(unread)));
        refresh();
    });
    connect(m_fetcher, &CrashLogFetcher::isLoadingChanged, this, &CrashView::refresh);
    connect(m_fetcher, &CrashLogFetcher::errorMessageChanged, this, &CrashView::refresh);
    m_unreadBar->hide();
    refresh();
    applySelection();
}

CrashView::~CrashView() = default;

QString CrashView::unreadNotice(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 report could not be read")
                      : QStringLiteral("%1 reports could not be read").arg(count);
}

QString CrashView::unreadDetail(const QList<UnreadReport>& unread)
{
    // Enough lines to name the cause; a tooltip is no list of thousands.
    constexpr qsizetype kMaxLines = 20;
    QStringList lines;
    for (qsizetype i = 0; i < unread.size() && i < kMaxLines; ++i)
        lines << VisibleText::shownName(QDir::toNativeSeparators(unread[i].filePath)) + QStringLiteral(": ") + unread[i].reason;
    if (unread.size() > kMaxLines)
        lines << QStringLiteral("and %1 more").arg(unread.size() - kMaxLines);
    return lines.join(QLatin1Char('\n'));
}

CrashView::Presentation CrashView::presentation() const
{
    if (m_fetcher->errorMessage() && m_fetcher->reports().isEmpty())
        return Presentation::empty;
    if (m_fetcher->isLoading())
        return Presentation::scanning;
    return Presentation::table;
}

void CrashView::refresh()
{
    switch (presentation()) {
    case Presentation::empty:
        m_emptyText->setText(VisibleText::shownName(*m_fetcher->errorMessage()));
        m_stack->setCurrentIndex(0);
        break;
    case Presentation::scanning:
        m_stack->setCurrentIndex(1);
        break;
    case Presentation::table:
        m_stack->setCurrentIndex(2);
        break;
    }
}

void CrashView::rescan()
{
    m_fetcher->scan();
}

void CrashView::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous())
        rescan();
}

const std::optional<QString>& CrashView::folder() const
{
    return m_fetcher->openedFolder();
}

void CrashView::setFolder(const std::optional<QString>& folder)
{
    const std::optional<QString> clean = folder ? std::optional(QDir::cleanPath(*folder)) : std::nullopt;
    if (clean == m_fetcher->openedFolder())
        return;
    m_fetcher->setOpenedFolder(clean);
    m_folderBar->setFolder(clean);
    // The pane showed a report of the other folder.
    m_selected.reset();
    applySelection();
    if (isVisible())
        rescan();
    emit folderChanged();
}

void CrashView::chooseFolder()
{
    std::optional<QString> chosen;
    if (m_folderPanel) {
        chosen = m_folderPanel();
    } else {
        const QString dir = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Open Crash Report Folder"), folder().value_or(QDir::homePath()),
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (!dir.isEmpty())
            chosen = dir;
    }
    if (chosen && !chosen->isEmpty())
        setFolder(*chosen);
}

void CrashView::toggleSelection(const CrashReport& report)
{
    if (m_selected && m_selected->id == report.id)
        m_selected.reset();
    else
        m_selected = report;
    applySelection();
}

void CrashView::applySelection()
{
    m_delegate->setSelectedID(m_selected ? std::optional<QUuid>(m_selected->id) : std::nullopt);
    m_list->viewport()->update();
    m_handle->setVisible(m_selected.has_value());
    m_pane->setVisible(m_selected.has_value());
    if (m_selected)
        m_pane->setCrash(*m_selected);
    m_pane->setPaneHeight(m_detailHeight);
}

void CrashView::dragHandle(int dy)
{
    m_detailHeight = PaneResizeBar::dragged(m_detailHeight, dy);
    m_pane->setPaneHeight(m_detailHeight);
}
