#include "core/serial/LineInputFilter.h"

#include "core/serial/TermiosMapping.h"

#include <algorithm>

namespace maroka::serial {

void LineInputFilter::Configure(const LineSettings& settings)
{
    dataMask_ = DataBitMask(settings.ByteSize);
    eventChar_ = settings.EvtChar & dataMask_;
    xonChar_ = settings.XonChar & dataMask_;
    xoffChar_ = settings.XoffChar & dataMask_;
    obeyXonXoff_ = settings.fOutX;
    dropNul_ = settings.fNull;
    if (!obeyXonXoff_)
        outputStopped_ = false;
}

void LineInputFilter::Take(const unsigned char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = data[i];
        const unsigned char bits = byte & dataMask_;
        // An XON that resumes output the machine stopped is flow control: a
        // DNC control that has taken its buffer down sends one after the
        // last byte of a pass, and that is no cycle start.
        const bool resume = obeyXonXoff_ && outputStopped_ && bits == xonChar_;
        if (bits == eventChar_ && !resume)
            eventCharSeen_ = true;
        if (obeyXonXoff_) {
            if (bits == xoffChar_) {
                outputStopped_ = true;
                continue;
            }
            if (bits == xonChar_) {
                outputStopped_ = false;
                continue;
            }
        }
        // Only the NUL itself goes; the bytes after it stay.
        if (dropNul_ && byte == 0)
            continue;
        input_.push_back(static_cast<char>(byte));
    }
}

std::size_t LineInputFilter::Read(char* data, std::size_t size)
{
    const std::size_t count = std::min(size, Buffered());
    std::copy_n(input_.data() + head_, count, data);
    head_ += count;
    return count;
}

void LineInputFilter::Compact()
{
    if (head_ == input_.size()) {
        input_.clear();
        head_ = 0;
    } else if (head_ > 4096 && head_ * 2 > input_.size()) {
        input_.erase(0, head_);
        head_ = 0;
    }
}

bool LineInputFilter::TakeEventChar()
{
    const bool seen = eventCharSeen_;
    eventCharSeen_ = false;
    return seen;
}

void LineInputFilter::ClearInput()
{
    input_.clear();
    head_ = 0;
    eventCharSeen_ = false;
}

} // namespace maroka::serial
