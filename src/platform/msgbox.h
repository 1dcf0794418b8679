#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal message box: OK only, no icon, "MEALWISE" as caption. Every box
// goes through one sink, so a test reads what the user would have seen
// instead of blocking on a modal window.
namespace vb {

inline constexpr char kProgramTitle[] = "MEALWISE";

void MsgBox(const QString &text, QWidget *parent = nullptr);

using MsgBoxSink = std::function<void(const QString &text, QWidget *parent)>;
// Replaces the sink; an empty function puts the real modal box back.
// Returns the sink that was in place.
MsgBoxSink setMsgBoxSink(MsgBoxSink sink);

} // namespace vb
