#pragma once

#include <QString>

// Renders the inline part of Markdown (code spans, strong and emphasis,
// links) into Qt rich text while keeping every other character, line break
// and run of spaces as written: headings, lists and quotes stay plain text
// with their line breaks. Markers without a partner are shown literally, so
// any text renders.
namespace InlineMarkdown {

QString toHtml(const QString& markdown);

}  // namespace InlineMarkdown
