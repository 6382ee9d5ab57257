#pragma once

#include <QString>

class QLabel;
class QMessageBox;

// Text from a server, a file or the environment, put on screen as the
// characters it is: never markup, never a link, and cut to what a widget can
// ever show, so that megabytes in a hostile reply neither hold the window
// while it is laid out nor draw as anything but text. Every place that shows
// such text goes through these.
namespace shown {

// A list cell, a label, a title, a tooltip line, a menu entry.
inline constexpr qsizetype kLine = 1024;
// The text box and a message box: a few hundred characters fill them.
inline constexpr qsizetype kBox = 4096;

// The text cut to `most` characters, never in the middle of a surrogate pair.
QString Cut(const QString &text, qsizetype most = kLine);

// For what takes only rich text (tooltips): the text escaped, its line
// breaks kept and its lines never wrapped.
QString Tip(const QString &text, qsizetype most = kLine);

// For a button or a menu entry, which read "&" as the mark of a shortcut.
QString Caption(const QString &text, qsizetype most = kLine);

// For a window title, in which Qt reads "[*]" as the unsaved-changes mark.
QString Title(const QString &text, qsizetype most = kLine);

// A label showing the text as plain text; no link in it can be activated.
// `selectable`: the user may select and copy it.
void SetLabel(QLabel *label, const QString &text, qsizetype most = kLine, bool selectable = false);

// A message box's text as plain text: nothing in it is a link.
void SetMessage(QMessageBox *box, const QString &text);

} // namespace shown
