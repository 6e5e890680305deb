#include "framework/DebugOutput.h"

#include "framework/PrintableText.h"

#include <cstdio>

namespace standin {

namespace {
struct State {
    std::vector<std::string> lines;
    bool echo = false;
    DebugOutput::Hook hook;
};

State& TheState()
{
    static State state;
    return state;
}
} // namespace

void DebugOutput::Write(const char* text)
{
    State& state = TheState();
    state.lines.push_back(PrintableText(text ? text : ""));
    if (state.echo) std::fprintf(stderr, "%s\n", state.lines.back().c_str());
    if (state.hook) state.hook(state.lines.back());
}

const std::vector<std::string>& DebugOutput::Lines()
{
    return TheState().lines;
}
std::size_t DebugOutput::Count()
{
    return TheState().lines.size();
}
void DebugOutput::Clear()
{
    TheState().lines.clear();
}
void DebugOutput::SetEcho(bool echo)
{
    TheState().echo = echo;
}
void DebugOutput::SetHook(Hook hook)
{
    TheState().hook = std::move(hook);
}

} // namespace standin
