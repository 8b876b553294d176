#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class PlainTextViewer;
class QLabel;
class QPushButton;
class QTextDocument;
class QUrl;

// An AI answer as a detail pane shows it: inline Markdown rendered and laid
// out on a worker thread, so that the UI thread only draws (a label lays its
// rich text out again at every width it is asked, for seconds at a few
// hundred kilobytes). Links open in the browser; the mouse selects, Ctrl+C
// copies. A layout that arrives after another answer was set is dropped. An
// answer past kFormattedBytes (UTF-8) is not formatted: its start shows as
// plain text, like a long message, and the whole opens in a viewer.
// As tall as its text at its width, for a scrolling parent.
class MarkdownAnswerView : public QWidget {
    Q_OBJECT
public:
    static constexpr qsizetype kFormattedBytes = 256 * 1024;
    // The start of a longer answer shown in place.
    static constexpr qsizetype kShownPlainBytes = 64 * 1024;
    // Up to this size (UTF-8) the layout is made at once, on the UI thread.
    static constexpr qsizetype kImmediateBytes = 8 * 1024;

    explicit MarkdownAnswerView(QWidget* parent = nullptr);
    ~MarkdownAnswerView() override;

    // The same answer again changes nothing (a refresh keeps the selection).
    void setAnswer(const QString& answer);
    const QString& answer() const { return m_answer; }
    // Shown as plain text: too long to format.
    bool isPlain() const { return m_plain; }
    // The HTML of the answer, once its layout is shown; empty when plain.
    QString html() const;
    // A layout is being made on a worker thread.
    bool isRendering() const;

    QString selectedText() const;
    void selectAll();
    // Opens the whole answer in a window of its own.
    void showAll();

    // Panes built around a label: shows `answer` in a view that takes the
    // label's place in its layout (made at the first call, the label hidden).
    static MarkdownAnswerView* showInPlaceOf(QLabel* label, const QString& answer);

    // Where links are opened (the default browser); tests replace it.
    static void setLinkOpener(std::function<bool(const QUrl&)> opener);

signals:
    // A layout of the answer is shown (for tests and benches).
    void rendered();

protected:
    void changeEvent(QEvent* e) override;

private:
    class Rendered;
    QString m_answer;
    bool m_plain = false;
    Rendered* m_rendered;
    PlainTextViewer* m_head;
    QWidget* m_longNote;
    QPushButton* m_showAll;
};
