// Node lookups and the line-direction table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tqp/node_table.h"
#include "tqp/serial_link.h"

namespace trk::tqp {
namespace {

TQPNodeAddress IPv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  TQPNodeAddress address{};
  address.address[0] = a;
  address.address[1] = b;
  address.address[2] = c;
  address.address[3] = d;
  address.kind = kAddressKindIPv4;
  return address;
}

TQPNodeEntry Entry(uint8_t node, TQPNodeAddress address, int socket = kNoSocket) {
  TQPNodeEntry entry;
  entry.node = node;
  entry.address = address;
  entry.socket = socket;
  return entry;
}

TEST(NodeTableTest, FindTakesTheFirstMatchUnderTheAddressFilter) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  NodeList nodes;
  nodes.Add(Entry(7, IPv4(10, 0, 0, 1)));
  nodes.Add(Entry(7, IPv4(10, 0, 0, 2)));
  nodes.Add(Entry(0, IPv4(10, 0, 0, 3), pipeFds[0]));

  const TQPNodeAddress second = IPv4(10, 0, 0, 2);
  const TQPNodeAddress unknown = IPv4(10, 0, 0, 9);
  TQPNodeAddress noKind = unknown;
  noKind.kind = kAddressKindNone;
  TQPNodeAddress otherKind = second;
  otherKind.kind = 6;

  EXPECT_EQ(nodes.Find(nullptr, 7), 0u);
  EXPECT_EQ(nodes.Find(&noKind, 7), 0u);
  EXPECT_EQ(nodes.Find(&second, 7), 1u);
  EXPECT_EQ(nodes.Find(&unknown, 7), std::nullopt);
  EXPECT_EQ(nodes.Find(&otherKind, 7), std::nullopt);
  EXPECT_EQ(nodes.Find(nullptr, 8), std::nullopt);
  EXPECT_EQ(nodes.Find(nullptr, 0, pipeFds[0]), 2u);
  EXPECT_EQ(nodes.Find(nullptr, 0, kNoSocket), std::nullopt);
  EXPECT_EQ(nodes.FindOther(nullptr, 7, 0), 1u);

  nodes.Erase(2);
  EXPECT_EQ(::fcntl(pipeFds[0], F_GETFD), -1) << "erasing an entry closes its socket";
  ::close(pipeFds[1]);
}

TEST(LineModeTest, ModesKeyTheLinesAsTabled) {
  struct Row {
    uint8_t mode;
    std::optional<bool> rtsSending, dtrSending;
  };
  const Row rows[] = {
      {0, {}, {}},          {1, false, {}},       {2, true, {}},      {3, {}, false},
      {4, {}, true},        {5, false, false},    {6, true, true},
  };
  for (const Row& row : rows) {
    const LineLevels sending = LineLevelsOfMode(row.mode, true);
    const LineLevels receiving = LineLevelsOfMode(row.mode, false);
    EXPECT_EQ(sending.rts, row.rtsSending) << int{row.mode};
    EXPECT_EQ(sending.dtr, row.dtrSending) << int{row.mode};
    EXPECT_EQ(receiving.rts.has_value(), row.rtsSending.has_value());
    if (row.rtsSending) {
      EXPECT_EQ(*receiving.rts, !*row.rtsSending);
    }
    if (row.dtrSending) {
      EXPECT_EQ(*receiving.dtr, !*row.dtrSending);
    }
  }
}

}  // namespace
}  // namespace trk::tqp
