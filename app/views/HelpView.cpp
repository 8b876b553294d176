#include "app/views/HelpView.h"

#include "ai/Providers.h"
#include "browser/LogColumns.h"
#include "logs/LogFormats.h"
#include "ui/TextStyles.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QString learnedNamesPath()
{
    QString p = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vellacord/learned_processes.json");
    const QString home = QDir::homePath();
    if (!home.isEmpty() && p.startsWith(home + QLatin1Char('/')))
        p = QStringLiteral("~") + p.mid(home.size());
    return p;
}

}  // namespace

namespace {

// The formats' table, one line a row.
QStringList formatLines()
{
    QStringList lines;
    for (const LogFormat& f : LogFormats::all())
        lines << f.name + QStringLiteral(": ") + f.description + QLatin1Char('.');
    return lines;
}

// "PID, Thread, … and Host", from the columns' table.
QString optionalColumnList()
{
    QStringList titles;
    for (ColumnId c : Columns::optional())
        titles << Columns::title(c);
    const QString last = titles.takeLast();
    return titles.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

}  // namespace

QList<HelpView::Section> HelpView::sections()
{
    return {
        {QStringLiteral("What Vellacord Does"),
         {QStringLiteral("Vellacord reads the system log and crash reports and shows them in one filterable, "
                         "colour-coded list, with faults and errors first, full details for every entry, "
                         "plain-language AI explanations and crash analysis.")}},
        {QStringLiteral("Severity Levels"),
         {QStringLiteral("Fault — a critical failure; always investigate."),
          QStringLiteral("Error — something went wrong; worth a look when it repeats."),
          QStringLiteral("Notice — a noteworthy but normal event."),
          QStringLiteral("Info — routine information."),
          QStringLiteral("Debug — detailed output meant for developers.")}},
        {QStringLiteral("Severity Filters"),
         {QStringLiteral("One toggle button per level in the filter bar shows or hides that level."),
          QStringLiteral("By default only Fault and Error are shown."),
          QStringLiteral("Filtering is instant; no new query is made.")}},
        {QStringLiteral("Time Range"),
         {QStringLiteral("1h (the default), 4h and 24h fetch the last hour, four hours or day."),
          QStringLiteral("Custom lets you pick a start and an end, then Apply (or press Enter in either field).")}},
        {QStringLiteral("Timeline"),
         {QStringLiteral("The strip above the list shows how the listed entries spread over the range, one bar per "
                         "stretch of time, stacked by severity with the most severe at the bottom."),
          QStringLiteral("Hover over a bar for its time span and its counts."),
          QStringLiteral("Drag across the strip to narrow the list to that span (it becomes the custom range); "
                         "double-click the strip to go back to the range before the drag.")}},
        {QStringLiteral("Search and Cascading Filters"),
         {QStringLiteral("The search field matches the message, the process and the subsystem."),
          QStringLiteral("The Process, Subsystem and Type dropdowns only offer values present in the filtered "
                         "result."),
          QStringLiteral("All filters are additive: an entry must pass every one of them.")}},
        {QStringLiteral("Optional Columns"),
         {QStringLiteral("View > Columns toggles %1.").arg(optionalColumnList()),
          QStringLiteral("Image is the full path of the sender."),
          QStringLiteral("Each shown column adds a filter field that matches part of the value, ignoring case."),
          QStringLiteral("Column visibility and filter values are remembered between launches.")}},
        {QStringLiteral("Filter to PID"),
         {QStringLiteral("Right-click a row and choose \"Filter to PID <value>\": the PID column is shown and its "
                         "filter is filled with that process identifier.")}},
        {QStringLiteral("Hiding, Patterns, Context and Marks"),
         {QStringLiteral("Right-click a row to hide its process, its subsystem or messages like it; each rule shows "
                         "as a chip under the filter bar with the number of entries it hides, and Show All brings "
                         "them back. Ctrl+Shift+P shows the Patterns view, which folds the list's messages into "
                         "patterns with counts; click one to list only its entries. Show in Context (Ctrl+J) lifts "
                         "every filter to show the selected entry among its neighbours until Back to Filters. "
                         "Ctrl+M marks or unmarks the selected entry, F3 and Shift+F3 go to the next and previous "
                         "mark, Marked Only lists the marked entries, and export can write only them.")}},
        {QStringLiteral("PID Tooltip"),
         {QStringLiteral("Hovering a PID shows it followed by the translated process name, or the raw name when "
                         "there is no translation (\"1234 — Window Server\").")}},
        {QStringLiteral("Subsystem Filter"),
         {QStringLiteral("The Subsystem dropdown narrows the list to one subsystem; it cascades with the other "
                         "filters, adds to them and is sized to its value.")}},
        {QStringLiteral("Column Sorting"),
         {QStringLiteral("Click a column header to sort by it; click it again to reverse the order."),
          QStringLiteral("The sorted column shows ↑ (ascending) or ↓ (descending)."),
          QStringLiteral("The default is time ascending; your choice is remembered."),
          QStringLiteral("Live tail keeps the time order.")}},
        {QStringLiteral("Entry Detail Pane"),
         {QStringLiteral("Click a row to open the full message, its metadata and actions below the list."),
          QStringLiteral("Drag the divider to resize the pane; Escape or a second click closes it."),
          QStringLiteral("Pop the pane out into a floating window, and pop it back in from there.")}},
        {QStringLiteral("Copy and Export"),
         {QStringLiteral("Right-click a row for Copy Message, Copy Row (time, level, process and message on one "
                         "line) and Copy Entry."),
          QStringLiteral("Copy Entry, also a button of the detail pane, copies the entry as the pane shows it: level "
                         "and time, each metadata field with its label, then the message, as plain text."),
          QStringLiteral("In a message, a double click selects a word and a triple click the whole line."),
          QStringLiteral("File > Export Visible Entries… (Ctrl+E) writes the rows the list shows, in its order, as "
                         "text rows (.txt) or CSV (.csv) with the shown columns, or as JSON lines (.jsonl) with "
                         "every field; a typed extension chooses the format."),
          QStringLiteral("A notice at the bottom of the window names the file and the number of entries written; a "
                         "failure says why.")}},
        {QStringLiteral("AI Log Explainer"),
         {QStringLiteral("Setup: click the gear icon, choose %1, paste your API key and click Done.")
              .arg(AIProviders::nameList()),
          QStringLiteral("Use: select an entry and click \"Explain this\" to learn what it means, whether it is "
                         "concerning and what to do."),
          QStringLiteral("Answers are cached; \"Investigated\" marks entries whose explanation is cached."),
          QStringLiteral("Friendly process names found in answers are learned for later.")}},
        {QStringLiteral("Proactive Log Analysis"),
         {QStringLiteral("Click \"Analyze\" in the toolbar to send up to 100 recent entries of the filtered list."),
          QStringLiteral("The AI returns the top 3 to 5 findings worth your attention."),
          QStringLiteral("\"Jump to entry\" selects and highlights the entry a finding refers to.")}},
        {QStringLiteral("Live Tail"),
         {QStringLiteral("Tail polls the live log every 2 seconds and scrolls to the newest entries."),
          QStringLiteral("Scrolling up pauses the scrolling; \"Jump to Bottom\" resumes it."),
          QStringLiteral("New entries respect the current filters."),
          QStringLiteral("Live tail is not available while an archive is open.")}},
        {QStringLiteral("Search Web and Mac Support"),
         {QStringLiteral("Search the web for an entry: the query combines \"macos\" (\"linux\" for an entry of "
                         "the systemd journal), the process and the subsystem and goes to the search engine address "
                         "set in Settings."),
          QStringLiteral("A second button opens Apple's Mac support page; Linux entries do not offer it.")}},
        {QStringLiteral("Crash Log Viewer"),
         {QStringLiteral("Switch to \"Crashes\" in the toolbar to browse crash reports."),
          QStringLiteral("Vellacord scans ~/Library/Logs/DiagnosticReports/ for .ips and .crash files."),
          QStringLiteral("Columns: Date, App, Crash Type (a red badge) and File Name; archived reports are "
                         "labelled \"(archived)\"."),
          QStringLiteral("Click a report for its details and the faulting thread's stack trace."),
          QStringLiteral("\"Explain this crash\" asks the AI; answers are cached by file name."),
          QStringLiteral("\"Show Raw\" shows the whole report text."),
          QStringLiteral("Open Folder… shows the reports of any folder instead, such as reports copied from a Mac; "
                         "Close Folder goes back.")}},
        {QStringLiteral(".logarchive Support"),
         QStringList{QStringLiteral("File > Open Log Archive (Ctrl+O) opens a saved .logarchive."),
                     QStringLiteral("Any folder or file of these kinds opens, whatever its name:")} +
             formatLines() +
             QStringList{QStringLiteral("File > Open Recent lists the last 5 archives."),
                         QStringLiteral("A banner names the open archive; Close Archive returns to the live log."),
                         QStringLiteral("Filters and sorting work as usual; live tail does not.")}},
        {QStringLiteral("Collect System Logs"),
         {QStringLiteral("Click Collect in the toolbar and confirm: the last hour of the system journal is copied "
                         "into a folder of journal files (.logarchive) on your Desktop and opened at once."),
          QStringLiteral("No password is asked: the copy holds what your account may read of the journal.")}},
        {QStringLiteral("Theming"),
         {QStringLiteral("View > Theme offers System, Light and Dark."),
          QStringLiteral("System follows the desktop's appearance; Light and Dark force a bright or a dark look "
                         "on every window."),
          QStringLiteral("Your choice is remembered.")}},
        {QStringLiteral("Process Name Translation"),
         {QStringLiteral("About 50 built-in mappings turn raw Mac process names into friendly names; entries of "
                         "the systemd journal show only names learned from AI answers."),
          QStringLiteral("Names learned from AI answers are stored in ") + learnedNamesPath() + QStringLiteral("."),
          QStringLiteral("Help > Reset Learned Process Names forgets them.")}},
        {QStringLiteral("Keyboard"),
         {QStringLiteral("Ctrl+1 and Ctrl+2 switch to the Logs and the Crashes tab; Ctrl+F goes to the search "
                         "field; Ctrl+R runs the query again (on Crashes, scans again)."),
          QStringLiteral("Up and Down, Page Up and Page Down, Home and End move through the list; Enter opens the "
                         "detail pane; Escape closes it and keeps the row, so that Down goes on from it."),
          QStringLiteral("Ctrl+C copies the selected text, or else the selected row."),
          QStringLiteral("Ctrl+N opens a new window, Ctrl+O a log archive; Ctrl+E exports the visible entries; "
                         "Ctrl+Q quits."),
          QStringLiteral("Escape or Ctrl+W closes Help, About and the API key help."),
          QStringLiteral("Tab moves between the controls; the one with the focus is marked.")}},
        {QStringLiteral("Linux Sources"),
         {QStringLiteral("The live log is this machine's systemd journal; a folder of .journal files opens as an "
                         "archive with File > Open Log Archive."),
          QStringLiteral("Thread is the entry's TID and stays empty without one; Sender is the executable's name "
                         "and Image its path; Host is the machine that logged the entry."),
          QStringLiteral("For these entries the AI and the web search are asked about Linux, and Mac Support is "
                         "not offered."),
          QStringLiteral("Linux writes no crash reports of this kind: use Open Folder… on the Crashes tab for "
                         "reports copied from a Mac.")}},
        {QStringLiteral("System-Wide Log Access"),
         {QStringLiteral("Without membership in the systemd-journal or adm group the live log holds only your own "
                         "entries: run sudo usermod -aG systemd-journal followed by your user name, log in again "
                         "and restart Vellacord."),
          QStringLiteral("An empty live log says why: no journal on this machine, or the missing group, with a lock "
                         "icon and the command to copy.")}},
    };
}

HelpView::HelpView(QWidget* parent)
    : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("helpScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    auto* col = new QVBoxLayout(content);
    col->setContentsMargins(24, 20, 24, 24);
    col->setSpacing(16);

    auto* title = TextStyles::label(QStringLiteral("Vellacord Help"), Style::title);
    title->setObjectName(QStringLiteral("helpTitle"));
    title->setFont(TextStyles::font(Style::title, false, QFont::Bold));
    col->addWidget(title);

    for (const Section& s : sections()) {
        auto* box = new QVBoxLayout;
        box->setSpacing(5);
        auto* head = TextStyles::label(s.title, Style::headline);
        head->setObjectName(QStringLiteral("helpSection"));
        box->addWidget(head);
        for (const QString& item : s.items) {
            auto* row = new QHBoxLayout;
            row->setSpacing(6);
            auto* bullet = TextStyles::label(QStringLiteral("•"), Style::body);
            bullet->setAlignment(Qt::AlignTop);
            auto* text = TextStyles::label(item, Style::body, false, true);
            text->setObjectName(QStringLiteral("helpItem"));
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            row->addWidget(bullet, 0, Qt::AlignTop);
            row->addWidget(text, 1);
            box->addLayout(row);
        }
        col->addLayout(box);
    }
    col->addStretch(1);
    scroll->setWidget(content);
}
