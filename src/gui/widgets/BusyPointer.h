#pragma once

namespace calvane {

/// The application-wide busy pointer from construction until restore() or the
/// end of its scope, whichever comes first.
class BusyPointer
{
public:
    BusyPointer();
    ~BusyPointer() { restore(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    /// The pointer back to what it was; later calls do nothing.
    void restore();

private:
    bool m_set = true;
};

} // namespace calvane
