// The feed forecast before a DNC send: the operator hears of stops that the
// line speed will force on the machine before pressing cycle start, not from
// the marks on the part.

#include "core/logs/WorkFilePath.h"
#include "core/prepare/FeedForecast.h"
#include "core/serial/LinePacer.h"
#include "core/session/SessionState.h"
#include "core/transfer/LineSetup.h"
#include "core/transfer/WorkerLog.h"

#include <fstream>

namespace maroka::session {

void Session::State::WarnOfFeedStops()
{
    std::ifstream program(sendFilePath, std::ios::binary);
    if (!program)
        return;
    const serial::LineSettings line = transfer::LineOf(boxes);
    prepare::FeedLine feed;
    feed.baudRate = line.BaudRate;
    feed.bitsPerCharacter = serial::BitsPerCharacter(line);
    const prepare::FeedForecast forecast = prepare::ForecastFeed(program, feed);
    if (!forecast.Starves())
        return;
    const std::string verdict = prepare::FeedForecastText(forecast);
    ui.ShowStatus(verdict);
    // The status line changes as the send starts; the data view keeps it.
    ui.AppendDataLine(verdict);
    transfer::WorkerLog(WorkFile(logs::kLogFile), WorkFile(logs::kErrLogFile), settings, commLogSubject)
        .CommLog(verdict);
}

} // namespace maroka::session
