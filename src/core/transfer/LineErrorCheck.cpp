#include "core/transfer/LineErrorCheck.h"

#include "core/transfer/TransferMessages.h"

namespace maroka::transfer {

const char* LineErrorText(std::uint32_t errors)
{
    switch (errors) {
    case kErrRxOver:
        return msg::kLineRxOver;
    case kErrOverrun:
        return msg::kLineOverrun;
    case kErrFrame:
        return msg::kLineFrame;
    case kErrBreak:
        return msg::kLineBreak;
    case kErrTxFull:
        return msg::kLineTxFull;
    case kErrIoe:
        return msg::kLineIoe;
    default:
        return nullptr;
    }
}

bool LineErrorCheck::Check(SerialLine& line)
{
    LineErrorState state;
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
