#pragma once

#include <QString>

namespace calvane {

enum class MsgIcon
{
    Critical,
    Warning,
    Information,
    Question
};
enum class MsgButtons
{
    Ok,
    YesNo
};
enum class MsgResult
{
    Ok,
    Yes,
    No
};

/// Modal message boxes. The text's lines are joined by CR LF.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) = 0;
};

} // namespace calvane
