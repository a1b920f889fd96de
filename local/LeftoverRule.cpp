#include "local/LeftoverRule.h"

LeftoverRepair DecideLeftoverRepair(const LeftoverState& state)
{
    if (!state.hasOld)
        return LeftoverRepair::Remove;
    if (state.base && state.current > *state.base)
        return LeftoverRepair::Discard;
    if (state.movingIn)
        return state.sourceInPlace ? LeftoverRepair::KeepNew : LeftoverRepair::RemoveNew;
    return LeftoverRepair::PutBack;
}

std::optional<unsigned long> ParseSetSerial(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned long long>(c - '0');
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<unsigned long>(value);
}
