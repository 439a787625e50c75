#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace calvane {

/// Run-time error numbers that the program tests or reports.
namespace ErrNo {
constexpr std::int32_t InvalidCall = 5;
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t OutOfMemory = 7;
constexpr std::int32_t SubscriptOutOfRange = 9;
constexpr std::int32_t TypeMismatch = 13;
constexpr std::int32_t BadFileName = 52;
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t DeviceIoError = 57;
constexpr std::int32_t FileAlreadyExists = 58;
constexpr std::int32_t DiskFull = 61;
constexpr std::int32_t TooManyFiles = 67;
constexpr std::int32_t PermissionDenied = 70;
constexpr std::int32_t PathFileAccessError = 75;
constexpr std::int32_t PathNotFound = 76;
constexpr std::int32_t NoSuchControlArrayElement = 340;
constexpr std::int32_t FormatNotAvailable = 461;
} // namespace ErrNo

/// The standard text of a run-time error number ("" is never returned: unknown
/// numbers get a generic text that still names the number).
QString ErrorText(std::int32_t number);

/// The run-time error number for a C library errno value.
std::int32_t ErrorNumberFromErrno(int err);

/// The one exception type of the program: a run-time error number and its text.
/// Guarded procedures catch it and hand both to ReportError.
class RuntimeError : public std::exception
{
public:
    explicit RuntimeError(std::int32_t number);
    RuntimeError(std::int32_t number, QString text);

    /// A failure of a C library call: errno mapped onto our numbers.
    static RuntimeError fromErrno(int err);

    std::int32_t number() const noexcept { return m_number; }
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::int32_t m_number;
    QString m_text;
    std::string m_what;
};

/// Turns whatever a guard caught into a RuntimeError: our own failures pass
/// through, std::bad_alloc becomes 7, anything else derived from std::exception
/// becomes 5, each with the standard text of its number. Call it only inside a
/// catch block.
RuntimeError CurrentFailure();

} // namespace calvane
