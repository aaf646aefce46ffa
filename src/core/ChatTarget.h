#pragma once

// The chat services an emoji is made for, and what each of them takes: one table, read by the
// command line, the window and the export alike, so a rule is written down once.

#include <QString>

#include <optional>
#include <span>

namespace cropling {

struct ChatTarget {
    const char* id;   // as typed after --target
    const char* name; // as shown: "Slack"
    int side;         // pixels a side
    long long maxBytes;
    int maxFrames;    // of an animated emoji; 0: no cap of the service's own
};

// Slack first: it is the default, and the window previews a Slack message.
std::span<const ChatTarget> chatTargets();
const ChatTarget& defaultChatTarget();
std::optional<ChatTarget> chatTargetNamed(const QString& id);
// "slack, discord": for a line that lists what may be typed.
QString chatTargetIds();

} // namespace cropling
