#include "ChatTarget.h"

#include <QStringList>

namespace cropling {

namespace {

// Slack refuses an animated emoji of more than 50 frames whatever its size in bytes; Discord
// counts only bytes.
constexpr ChatTarget kTargets[] = {
    {"slack", "Slack", 128, 131'072, 50},
    {"discord", "Discord", 128, 262'144, 0},
};

} // namespace

std::span<const ChatTarget> chatTargets() { return kTargets; }

const ChatTarget& defaultChatTarget() { return kTargets[0]; }

std::optional<ChatTarget> chatTargetNamed(const QString& id) {
    for (const ChatTarget& target : kTargets)
        if (id.compare(QLatin1String(target.id), Qt::CaseInsensitive) == 0)
            return target;
    return std::nullopt;
}

QString chatTargetIds() {
    QStringList ids;
    for (const ChatTarget& target : kTargets)
        ids << QLatin1String(target.id);
    return ids.join(QStringLiteral(", "));
}

} // namespace cropling
