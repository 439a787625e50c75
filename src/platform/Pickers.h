#pragma once

#include <QString>

class QWidget;

namespace calvane {

/// The platform's folder and file pickers. Each returns the chosen path, or the
/// text "Cancel" when the user cancels (a chosen path is always absolute).
class Pickers
{
public:
    virtual ~Pickers() = default;
    /// A folder picker titled "フォルダの選択", owned by owner: existing folders only.
    virtual QString ShowFolderDialog(QWidget& owner) = 0;
    /// A file picker titled "ファイルを開く", owned by owner: an existing file that
    /// the filter ("name (patterns)") lists.
    virtual QString ShowOpenDialog(QWidget& owner, const QString& filter) = 0;
};

} // namespace calvane
