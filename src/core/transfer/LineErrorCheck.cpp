#include "core/transfer/LineErrorCheck.h"

#include "core/transfer/TransferMessages.h"

namespace maroka::transfer {

const char* LineErrorText(std::uint32_t errors)
{
    switch (errors) {
    case serial::kErrRxOver:
        return msg::kLineRxOver;
    case serial::kErrOverrun:
        return msg::kLineOverrun;
    case serial::kErrFrame:
        return msg::kLineFrame;
    case serial::kErrBreak:
        return msg::kLineBreak;
    case serial::kErrTxFull:
        return msg::kLineTxFull;
    case serial::kErrIoe:
        return msg::kLineIoe;
    default:
        return nullptr;
    }
}

std::string WithDetail(const std::string& text, const std::string& detail)
{
    return detail.empty() ? text : text + "\n\n" + detail;
}

std::string LineErrorCheck::QueryFailureDetail(const serial::SerialLine& line) const
{
    return errorQueryFailed ? line.LastError() : std::string();
}

bool LineErrorCheck::Check(serial::SerialLine& line)
{
    serial::LineErrorState state;
    if (!line.ClearErrors(state)) {
        lineErrorText = msg::kErrorQueryFailed;
        errorQueryFailed = true;
        return true;
    }
    inputQueued = state.inputQueued;
    if (const char* text = LineErrorText(state.errors)) {
        lineErrorSeen = true;
        lineErrorText = text;
        if (onLineError)
            onLineError();
    }
    return lineErrorSeen || errorQueryFailed;
}

} // namespace maroka::transfer
