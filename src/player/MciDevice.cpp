#include "player/MciDevice.h"

namespace calvane {

QString MciErrorText(int code)
{
    switch (code) {
    case MciError::FileNotFound:
        return QStringLiteral("MIDIファイルが見つかりません (移動または削除された可能性があります)");
    case MciError::FileRead:
        return QStringLiteral("MIDIファイルを読み込めません (読み取りが許可されていない可能性があります)");
    case MciError::InvalidFile:
        return QStringLiteral("標準MIDIファイルではないため再生できません");
    case MciError::FileTooLarge:
        return QStringLiteral("ファイルが大きすぎるため再生できません (64 MiB まで)");
    default:
        return QStringLiteral("内部エラーが発生しました");
    }
}

} // namespace calvane
