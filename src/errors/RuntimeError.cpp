#include "errors/RuntimeError.h"

#include <cerrno>
#include <new>

namespace calvane {

QString ErrorText(std::int32_t number)
{
    switch (number) {
    case ErrNo::InvalidCall:
        return QStringLiteral("引数またはプロシージャの呼び出しが正しくありません");
    case ErrNo::Overflow:
        return QStringLiteral("数値が範囲を超えました (オーバーフロー)");
    case ErrNo::OutOfMemory:
        return QStringLiteral("メモリが足りません");
    case ErrNo::SubscriptOutOfRange:
        return QStringLiteral("添字が範囲の外です");
    case ErrNo::TypeMismatch:
        return QStringLiteral("型が合いません");
    case ErrNo::BadFileName:
        return QStringLiteral("ファイル名が正しくありません");
    case ErrNo::FileNotFound:
        return QStringLiteral("ファイルがありません");
    case ErrNo::DeviceIoError:
        return QStringLiteral("デバイスの入出力でエラーが起きました");
    case ErrNo::FileAlreadyExists:
        return QStringLiteral("同じ名前のファイルが既にあります");
    case ErrNo::DiskFull:
        return QStringLiteral("ディスクに空きがありません");
    case ErrNo::TooManyFiles:
        return QStringLiteral("開いているファイルが多すぎます");
    case ErrNo::PermissionDenied:
        return QStringLiteral("書き込みが許可されていません");
    case ErrNo::PathFileAccessError:
        return QStringLiteral("パスまたはファイルにアクセスできません");
    case ErrNo::PathNotFound:
        return QStringLiteral("パスがありません");
    case ErrNo::NoSuchControlArrayElement:
        return QStringLiteral("コントロール配列の要素が存在しません");
    case ErrNo::FormatNotAvailable:
        return QStringLiteral("そのデータ形式は使えません");
    default:
        return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラー (%1)").arg(number);
    }
}

std::int32_t ErrorNumberFromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return ErrNo::FileNotFound;
    case EEXIST:
    case ENOTEMPTY:
        return ErrNo::FileAlreadyExists;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
        return ErrNo::PathFileAccessError;
    case ENOTDIR:
        return ErrNo::PathNotFound;
    case ENAMETOOLONG:
    case EINVAL:
        return ErrNo::BadFileName;
    case ENOSPC:
    case EDQUOT:
        return ErrNo::DiskFull;
    case EMFILE:
    case ENFILE:
        return ErrNo::TooManyFiles;
    case EBUSY:
    case ETXTBSY:
        return ErrNo::PermissionDenied;
    case ENOMEM:
        return ErrNo::OutOfMemory;
    default:
        return ErrNo::DeviceIoError;
    }
}

RuntimeError::RuntimeError(std::int32_t number) : RuntimeError(number, ErrorText(number)) {}

RuntimeError::RuntimeError(std::int32_t number, QString text)
    : m_number(number), m_text(std::move(text)), m_what(std::to_string(number) + ": " + m_text.toStdString())
{}

RuntimeError RuntimeError::fromErrno(int err)
{
    return RuntimeError(ErrorNumberFromErrno(err));
}

RuntimeError CurrentFailure()
{
    try {
        throw;
    } catch (const RuntimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(ErrNo::OutOfMemory);
    } catch (const std::exception&) {
        // Not one of ours: the standard text of the number, not a library's English message.
        return RuntimeError(ErrNo::InvalidCall);
    }
}

} // namespace calvane
