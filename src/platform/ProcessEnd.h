#pragma once

namespace calvane {

/// Ends the process at once: no destructors, no unload handling, no settings save.
class ProcessEnd
{
public:
    virtual ~ProcessEnd() = default;
    [[noreturn]] virtual void endNow(int exitCode) = 0;
};

/// The real ending: flushes the C streams, then _exit.
class ImmediateProcessEnd final : public ProcessEnd
{
public:
    [[noreturn]] void endNow(int exitCode) override;
};

} // namespace calvane
