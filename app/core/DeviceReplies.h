// What the devices' answers say about them, as DeviceRows for the table's
// merge: the discovery reply to "X" (text) and the "AETEI" network
// information (decoded TAVO data).
#pragma once

#include "app/core/DeviceTable.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ardel {

// A discovery reply: "A" and six fields separated by "/" (MAC, port, status,
// a hidden text, owner, device name), then the sender's address and three
// empty texts. A "/" inside the device name stays in the name, so that a
// name cannot push a text of its choice into the address field. The MAC
// field keeps at most 255 characters. None for a text that does not begin
// with "A" or has fewer than six fields; the MAC field is checked by the
// merge, not here.
std::optional<DeviceRow> ParseDiscoveryReply(const QString &text, const QString &peerIP);

// The "AETEI" answer of the device whose TAVOW sender address is felado:
// MAC at 5, IP at 11, gateway at 15, mask at 19, DHCP state at 22 (1: no
// address yet, 2: active), connection state at 23 (1: connected). A short
// answer reads as zeros where it ends; bytes past 23 are ignored. None when
// the data is not an "AETEI" answer.
std::optional<DeviceRow> ParseAeteiReply(const QByteArray &data, quint32 felado);

} // namespace ardel
