// The connection panel and the two counter panels of the status bar, brought
// up to date by compare-and-write so a refresh that changes nothing writes
// nothing. Plain C++: any five-panel bar implements StatusPanels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "slave/status_source.h"

namespace tarvik {

// Panels counted from 1: connection, received, sent, date, time.
inline constexpr int kConnectionPanel = 1;
inline constexpr int kReceivedPanel = 2;
inline constexpr int kSentPanel = 3;
inline constexpr int kDatePanel = 4;
inline constexpr int kTimePanel = 5;
inline constexpr int kPanelCount = 5;

class StatusPanels {
public:
    virtual ~StatusPanels() = default;
    // Text of panel 1..5; empty for any other number.
    virtual std::string PanelText(int panel) const = 0;
    // Panels outside 1..5 are ignored.
    virtual void SetPanelText(int panel, std::string_view text) = 0;
};

// The number a panel text begins with, 0 for an empty or non-numeric text.
int64_t PanelNumber(std::string_view text);

// Text of the connection panel for data-socket state `state`.
std::string ConnectionText(const StatusSource& source, SocketState state);

// No socket state is -1: with this as the last state shown, the next
// refresh always writes the connection panel.
inline constexpr int16_t kNoSocketStateShown = -1;

// Writes panels 2 and 3 where their numbers differ from the counters, and
// panel 1 when the data socket's state differs from `lastSocketState`, which
// then records the state whose text the panel shows.
void RefreshStatusBar(StatusPanels& panels, const StatusSource& source, int16_t& lastSocketState);

}  // namespace tarvik
