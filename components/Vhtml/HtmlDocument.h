#pragma once
// An HTML page's source read the way a browser's document object shows it.
// The page is parsed as browsers parse HTML (missing tags implied, misnested
// markup mended, entities decoded); the body is then written out again in the
// style of the old browser whose text the extractors were made for:
//
// - tag names in capitals, attribute names in lower case, in source order;
// - href and src values always in double quotes;
// - other values bare when they are a plain word (letters, digits, - . _ : #),
//   else in double quotes; an attribute written without a value stays so;
// - & < > and no-break spaces in text, and & " and no-break spaces in quoted
//   values, written as entities; script and style text as it stands;
// - no end tag for empty elements (BR, IMG, INPUT ...).

#include <QString>

namespace vhtml {

// The text of the page's first TITLE element, with the blanks at both ends
// removed and every run of blanks inside made one space; empty without one.
QString DocumentTitle(const QString& html);

// The inner HTML of the page's body (of its frameset when it has one
// instead), written in the style above.
QString BodyInnerHtml(const QString& html);

}  // namespace vhtml
