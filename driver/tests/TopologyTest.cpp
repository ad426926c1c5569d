// The topology filter as the port reaches it: the descriptor from
// GetDescription, and each property through the handler its automation table
// names, with the card's controller as the witness of what reached the mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "CardCommon.h"
#include "CardContext.h"
#include "Controller.h"
#include "MachineTest.h"
#include "TopologyFilter.h"
#include "TopologyMiniport.h"
#include "card/CardRegisters.h"
#include "kernel/host/KsFilter.h"

namespace {

constexpr ULONG kGet = KSPROPERTY_TYPE_GET;
constexpr ULONG kSet = KSPROPERTY_TYPE_SET;
constexpr ULONG kBasic = KSPROPERTY_TYPE_BASICSUPPORT;

// 16.16 fixed-point decibels.
constexpr LONG k16dB = 0x100000;
constexpr LONG k30dB = 0x1E0000;

// The card's private name of pin 6.
constexpr GUID kPinNameF4 = {
    0x2B81CDBB, 0xEE6C, 0x4ECC, {0x8A, 0xA5, 0x9A, 0x18, 0x8B, 0x02, 0x3D, 0xF4}};

struct Property {
  ULONG node;
  const GUID* set;
  ULONG id;
};

const Property kMasterVolume = {kMasterVolumeNode, &KSPROPSETID_Audio,
                                KSPROPERTY_AUDIO_VOLUMELEVEL};
const Property kMicInVolume = {kMicInVolumeNode, &KSPROPSETID_Audio, KSPROPERTY_AUDIO_VOLUMELEVEL};
const Property kMasterMute = {kMasterMuteNode, &KSPROPSETID_Audio, KSPROPERTY_AUDIO_MUTE};
const Property kVolumeCpu = {kMasterVolumeNode, &KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES};
const Property kMuteCpu = {kMasterMuteNode, &KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES};
const Property kComponentId = {PCFILTER_NODE, &KSPROPSETID_General, KSPROPERTY_GENERAL_COMPONENTID};
const Property kPrivateGet = {PCFILTER_NODE, &KSPROPSETID_CardPrivate, kCardPrivateGetId};
const Property kPrivateSet = {PCFILTER_NODE, &KSPROPSETID_CardPrivate, kCardPrivateSetId};

// A request as the port builds it. The instance is what follows the KSP_NODE
// of a channel request: the channel and a reserved word.
struct Request {
  Property property;
  ULONG verb = kGet;
  ULONG valueSize = sizeof(LONG);
  LONG value = 0;  // what a SET carries
  LONG channel = 1;
  ULONG instanceSize = 8;
  std::optional<ULONG> node =
      std::nullopt;  // the node the request names, when not the property's own
  std::optional<ULONG> id =
      std::nullopt;  // the id the handler is handed, when not the property's own
  bool nullValue = false;
};

struct Reply {
  NTSTATUS status;
  ULONG valueSize;           // as answered
  std::vector<UCHAR> value;  // the caller's buffer after the call, ValueSize bytes
  std::vector<UCHAR> sent;   // the same before the call
  LONG asLong() const {
    LONG result = 0;
    std::memcpy(&result, value.data(), std::min(value.size(), sizeof result));
    return result;
  }
};

template <typename T>
std::vector<UCHAR> bytesOf(const T& value) {
  std::vector<UCHAR> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

bool sameGuid(const GUID* a, const GUID* b) {
  return a == b || (a != nullptr && b != nullptr && *a == *b);
}

// Tables are read with the strides the descriptor states, as the port reads them.
const PCAUTOMATION_TABLE* tableOf(const PCFILTER_DESCRIPTOR& filter, ULONG node) {
  if (node == PCFILTER_NODE) return filter.AutomationTable;
  const auto* nodes = reinterpret_cast<const UCHAR*>(filter.Nodes);
  return reinterpret_cast<const PCNODE_DESCRIPTOR*>(nodes + node * filter.NodeSize)
      ->AutomationTable;
}

std::vector<const PCPROPERTY_ITEM*> itemsOf(const PCAUTOMATION_TABLE* table) {
  std::vector<const PCPROPERTY_ITEM*> items;
  if (!table) return items;
  const auto* bytes = reinterpret_cast<const UCHAR*>(table->Properties);
  for (ULONG i = 0; i < table->PropertyCount; ++i) {
    items.push_back(reinterpret_cast<const PCPROPERTY_ITEM*>(bytes + i * table->PropertyItemSize));
  }
  return items;
}

const PCPROPERTY_ITEM* findItem(const PCFILTER_DESCRIPTOR& filter, const Property& property) {
  for (const auto* item : itemsOf(tableOf(filter, property.node))) {
    if (*item->Set == *property.set && item->Id == property.id) return item;
  }
  return nullptr;
}

std::vector<ULONG> verbsOf(const PCPROPERTY_ITEM& item) {
  std::vector<ULONG> verbs;
  for (ULONG verb : {kGet, kSet, kBasic}) {
    if (item.Flags & verb) verbs.push_back(verb);
  }
  return verbs;
}

std::vector<ULONG> allNodes(const PCFILTER_DESCRIPTOR& filter) {
  std::vector<ULONG> nodes = {PCFILTER_NODE};
  for (ULONG node = 0; node < filter.NodeCount; ++node) nodes.push_back(node);
  return nodes;
}

constexpr UCHAR kUnwritten = 0xA5;
constexpr ULONG kGuardBytes = 16;

// Calls the item's handler with the value buffer followed by guard bytes and
// the instance in a buffer exactly as long as claimed, so that a write past
// the value size fails here and a read past the instance fails under ASan.
Reply callHandler(PUNKNOWN miniport, const PCPROPERTY_ITEM& item, ULONG node, const Request& r) {
  std::vector<UCHAR> instance(r.instanceSize);
  const auto* channel = reinterpret_cast<const UCHAR*>(&r.channel);
  std::copy_n(channel, std::min<size_t>(instance.size(), sizeof r.channel), instance.begin());
  std::vector<UCHAR> buffer(r.valueSize + kGuardBytes, kUnwritten);
  if (r.verb == kSet) {
    std::memcpy(buffer.data(), &r.value, std::min<size_t>(r.valueSize, sizeof r.value));
  }
  const std::vector<UCHAR> sent(buffer.begin(), buffer.begin() + r.valueSize);
  PCPROPERTY_ITEM handed = item;
  if (r.id) handed.Id = *r.id;

  PCPROPERTY_REQUEST request{};
  request.MajorTarget = miniport;
  request.Node = node;
  request.PropertyItem = &handed;
  request.Verb = r.verb;
  request.InstanceSize = r.instanceSize;
  request.Instance = r.instanceSize ? instance.data() : nullptr;
  request.ValueSize = r.valueSize;
  request.Value = r.nullValue ? nullptr : buffer.data();
  const NTSTATUS status = item.Handler(&request);

  EXPECT_TRUE(std::all_of(buffer.begin() + r.valueSize, buffer.end(),
                          [](UCHAR b) { return b == kUnwritten; }))
      << "wrote past the value size of " << r.valueSize;
  if (status != STATUS_BUFFER_OVERFLOW) {
    EXPECT_LE(request.ValueSize, r.valueSize) << "answered more than the buffer holds";
  }
  buffer.resize(r.valueSize);
  return {status, request.ValueSize, buffer, sent};
}

// The descriptor of a miniport that was created and never initialised: the
// port reads it before Init.
class TopologyDescriptor : public kernel::testing::VirtualTimeTest {
 protected:
  void SetUp() override {
    VirtualTimeTest::SetUp();
    ASSERT_EQ(CreateTopologyMiniport(&unknown, GUID_NULL, nullptr, NonPagedPool), STATUS_SUCCESS);
    PVOID interface = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IMiniportTopology, &interface), STATUS_SUCCESS);
    miniport = static_cast<PMINIPORTTOPOLOGY>(interface);
    PPCFILTER_DESCRIPTOR description = nullptr;
    ASSERT_EQ(miniport->GetDescription(&description), STATUS_SUCCESS);
    ASSERT_NE(description, nullptr);
    filter = description;
  }
  void TearDown() override {
    if (miniport) miniport->Release();
    if (unknown) unknown->Release();
    VirtualTimeTest::TearDown();
  }

  PUNKNOWN unknown = nullptr;
  PMINIPORTTOPOLOGY miniport = nullptr;
  const PCFILTER_DESCRIPTOR* filter = nullptr;
};

TEST_F(TopologyDescriptor, ElevenBridgePinsEachWithOneRange) {
  EXPECT_EQ(filter->Version, 0u);
  EXPECT_EQ(filter->CategoryCount, 0u);
  ASSERT_EQ(filter->PinSize, sizeof(PCPIN_DESCRIPTOR));
  struct Pin {
    KSPIN_DATAFLOW flow;
    const GUID* category;
    const GUID* name;
    const GUID* subFormat;
  };
  const KSPIN_DATAFLOW in = KSPIN_DATAFLOW_IN;
  const KSPIN_DATAFLOW out = KSPIN_DATAFLOW_OUT;
  const GUID* analog = &KSDATAFORMAT_SUBTYPE_ANALOG;
  const GUID* ac3 = &KSDATAFORMAT_SUBTYPE_AC3_AUDIO;
  const Pin pins[] = {
      {in, &KSCATEGORY_AUDIO, nullptr, analog},
      {in, &KSNODETYPE_SPDIF_INTERFACE, nullptr, analog},
      {in, &KSNODETYPE_MICROPHONE, nullptr, analog},
      {in, &KSNODETYPE_CD_PLAYER, nullptr, analog},
      {in, &KSNODETYPE_LINE_CONNECTOR, nullptr, analog},
      {in, &KSNODETYPE_ANALOG_CONNECTOR, nullptr, analog},
      {in, &KSNODETYPE_ANALOG_CONNECTOR, &kPinNameF4, analog},
      {out, &KSNODETYPE_SPEAKER, nullptr, analog},
      {out, &KSCATEGORY_AUDIO, nullptr, analog},
      {in, &KSCATEGORY_AUDIO, nullptr, ac3},
      {out, nullptr, nullptr, ac3},
  };
  ASSERT_EQ(filter->PinCount, std::size(pins));
  for (ULONG i = 0; i < filter->PinCount; ++i) {
    SCOPED_TRACE("pin " + std::to_string(i));
    const PCPIN_DESCRIPTOR& pin = filter->Pins[i];
    const KSPIN_DESCRIPTOR& ks = pin.KsPinDescriptor;
    EXPECT_EQ(pin.MaxGlobalInstanceCount, 0u);
    EXPECT_EQ(pin.MaxFilterInstanceCount, 0u);
    EXPECT_EQ(pin.MinFilterInstanceCount, 0u);
    EXPECT_EQ(pin.AutomationTable, nullptr);
    EXPECT_EQ(ks.Communication, KSPIN_COMMUNICATION_NONE);
    EXPECT_EQ(ks.DataFlow, pins[i].flow);
    EXPECT_TRUE(sameGuid(ks.Category, pins[i].category));
    EXPECT_TRUE(sameGuid(ks.Name, pins[i].name));
    ASSERT_EQ(ks.DataRangesCount, 1u);
    const KSDATARANGE& range = *ks.DataRanges[0];
    EXPECT_EQ(range.FormatSize, sizeof(KSDATARANGE));
    EXPECT_EQ(range.MajorFormat, KSDATAFORMAT_TYPE_AUDIO);
    EXPECT_EQ(range.SubFormat, *pins[i].subFormat);
    EXPECT_EQ(range.Specifier, KSDATAFORMAT_SPECIFIER_NONE);
  }
}

TEST_F(TopologyDescriptor, OnlyTheFilterAndNodes4And9And36CarryProperties) {
  ASSERT_EQ(filter->NodeSize, sizeof(PCNODE_DESCRIPTOR));
  ASSERT_EQ(filter->NodeCount, 37u);
  struct Item {
    GUID set;
    ULONG id;
    ULONG flags;
    bool operator==(const Item&) const = default;
  };
  const std::vector<Item> componentAndPrivate = {
      {KSPROPSETID_General, KSPROPERTY_GENERAL_COMPONENTID, kGet | kBasic},
      {KSPROPSETID_CardPrivate, 1, kGet},
      {KSPROPSETID_CardPrivate, 2, kSet},
  };
  const std::vector<Item> volume = {
      {KSPROPSETID_Audio, KSPROPERTY_AUDIO_VOLUMELEVEL, kGet | kSet | kBasic},
      {KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES, kGet | kBasic},
  };
  const std::vector<Item> mute = {
      {KSPROPSETID_Audio, KSPROPERTY_AUDIO_MUTE, kGet | kSet | kBasic},
      {KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES, kGet | kBasic},
  };
  for (ULONG node : allNodes(*filter)) {
    SCOPED_TRACE("node " + std::to_string(static_cast<LONG>(node)));
    std::vector<Item> items;
    for (const auto* item : itemsOf(tableOf(*filter, node))) {
      EXPECT_NE(item->Handler, nullptr);
      items.push_back({*item->Set, item->Id, item->Flags});
    }
    switch (node) {
      case PCFILTER_NODE:
        EXPECT_EQ(items, componentAndPrivate);
        break;
      case 4:
      case 9:
        EXPECT_EQ(items, volume);
        break;
      case 36:
        EXPECT_EQ(items, mute);
        break;
      default:
        EXPECT_EQ(tableOf(*filter, node), nullptr);
    }
  }
}

TEST_F(TopologyDescriptor, ConnectionsFormThePlaybackAndCapturePaths) {
  ASSERT_EQ(filter->ConnectionCount, 10u);
  for (ULONG i = 0; i < filter->ConnectionCount; ++i) {
    const PCCONNECTION_DESCRIPTOR& c = filter->Connections[i];
    SCOPED_TRACE("connection " + std::to_string(i));
    if (c.FromNode == PCFILTER_NODE) {
      ASSERT_LT(c.FromNodePin, filter->PinCount);
      EXPECT_EQ(filter->Pins[c.FromNodePin].KsPinDescriptor.DataFlow, KSPIN_DATAFLOW_IN);
    } else {
      EXPECT_LT(c.FromNode, filter->NodeCount);
      EXPECT_EQ(c.FromNodePin, 0u) << "a node's output is its pin 0";
    }
    if (c.ToNode == PCFILTER_NODE) {
      ASSERT_LT(c.ToNodePin, filter->PinCount);
      EXPECT_EQ(filter->Pins[c.ToNodePin].KsPinDescriptor.DataFlow, KSPIN_DATAFLOW_OUT);
    } else {
      EXPECT_LT(c.ToNode, filter->NodeCount);
      EXPECT_EQ(c.ToNodePin, 1u) << "a node's input is its pin 1";
    }
  }

  // Follows the connections from a filter pin to the filter pin they end at.
  const auto walk = [&](ULONG fromPin, std::vector<ULONG>* nodes) -> ULONG {
    ULONG node = PCFILTER_NODE;
    ULONG pin = fromPin;
    for (ULONG steps = 0; steps <= filter->NodeCount; ++steps) {
      const auto* end = filter->Connections + filter->ConnectionCount;
      const auto* next = std::find_if(filter->Connections, end, [&](const auto& c) {
        return c.FromNode == node && (node != PCFILTER_NODE || c.FromNodePin == pin);
      });
      if (next == end) return ULONG(-1);
      if (next->ToNode == PCFILTER_NODE) return next->ToNodePin;
      node = next->ToNode;
      nodes->push_back(node);
    }
    return ULONG(-1);
  };
  const auto typeAndName = [&](ULONG node) {
    return std::make_pair(*filter->Nodes[node].Type, filter->Nodes[node].Name);
  };

  std::vector<ULONG> playback;
  EXPECT_EQ(walk(0, &playback), 7u) << "the wave pin plays to the speaker";
  EXPECT_EQ(playback, (std::vector<ULONG>{0, 1, 3, 36, 4}));
  std::vector<ULONG> capture;
  EXPECT_EQ(walk(2, &capture), 8u) << "the microphone records to the wave pin";
  EXPECT_EQ(capture, (std::vector<ULONG>{9, 17, 5}));

  struct Node {
    ULONG id;
    const GUID* type;
    const GUID* name;
  } const nodes[] = {
      {0, &KSNODETYPE_VOLUME, &KSAUDFNAME_WAVE_VOLUME},
      {1, &KSNODETYPE_MUTE, &KSAUDFNAME_WAVE_MUTE},
      {3, &KSNODETYPE_SUM, nullptr},
      {36, &KSNODETYPE_MUTE, &KSAUDFNAME_MASTER_MUTE},
      {4, &KSNODETYPE_VOLUME, &KSAUDFNAME_MASTER_VOLUME},
      {9, &KSNODETYPE_VOLUME, &KSAUDFNAME_MIC_IN_VOLUME},
      {17, &KSNODETYPE_MUTE, &KSAUDFNAME_MIC_MUTE},
      {5, &KSNODETYPE_SUM, &KSAUDFNAME_RECORDING_SOURCE},
  };
  for (const auto& node : nodes) {
    SCOPED_TRACE("node " + std::to_string(node.id));
    const auto [type, name] = typeAndName(node.id);
    EXPECT_EQ(type, *node.type);
    EXPECT_TRUE(sameGuid(name, node.name));
  }
}

// A booted machine: the miniport initialised by the adapter, the mixer
// record read from the card.
class Topology : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
    TopologyMiniport* topology =
        cardContext.cardCommon
            ? static_cast<ICardCommon*>(cardContext.cardCommon)->GetHardwareBlock()->topology
            : nullptr;
    ASSERT_NE(topology, nullptr);
    miniport = static_cast<IMiniportTopology*>(topology);
    PPCFILTER_DESCRIPTOR description = nullptr;
    ASSERT_EQ(miniport->GetDescription(&description), STATUS_SUCCESS);
    filter = description;
  }

  Reply send(const Request& r) {
    const PCPROPERTY_ITEM* item = findItem(*filter, r.property);
    if (!item) {
      ADD_FAILURE() << "no such property in the node's table";
      return {STATUS_NOT_FOUND, 0, {}, {}};
    }
    return callHandler(miniport, *item, r.node.value_or(r.property.node), r);
  }

  // Distinct bytes around the master byte, to see that a write keeps them.
  static constexpr ULONG kMixerWord0 = 0x44332211;
  static constexpr ULONG kMixerWord1 = 0x77665500;
  void presetMaster(UCHAR masterByte) { WriteMixerRecord(kMixerWord0, kMixerWord1 | masterByte); }
  static card::ControllerRecord recordWithMaster(UCHAR masterByte) {
    return {0x11, 0x22, 0x33, 0x44, masterByte, 0x55, 0x66, 0x77};
  }
  card::ControllerRecord mixer() const { return machine->card()->record(card::kMixerRecord); }
  std::uint64_t packetsStored() const { return machine->card()->counters().packetsStored; }

  PMINIPORTTOPOLOGY miniport = nullptr;
  const PCFILTER_DESCRIPTOR* filter = nullptr;
};

TEST_F(Topology, MasterVolumeSetReachesTheCardAsALevelAndKeepsTheMute) {
  const struct {
    LONG value;
    UCHAR level;
  } cases[] = {
      {k16dB, 52},  // 52.8: toward zero
      {k30dB, 99},
      {0x20000, 6},
      {0, 0},
      {-1, 0},
      {-0x10000, 0},
      {k30dB + 0x10000, 99},
      {std::numeric_limits<LONG>::min(), 0},
      {std::numeric_limits<LONG>::max(), 99},
  };
  for (const UCHAR mute : {UCHAR{0}, UCHAR{0x80}}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << "value " << c.value << " mute " << int{mute});
      presetMaster(mute | 10);
      const Reply reply = send({.property = kMasterVolume, .verb = kSet, .value = c.value});
      EXPECT_EQ(reply.status, STATUS_SUCCESS);
      EXPECT_EQ(mixer(), recordWithMaster(mute | c.level));
    }
  }
}

TEST_F(Topology, MasterVolumeGetReportsTheCachedLevelOnEitherChannel) {
  const struct {
    UCHAR masterByte;
    LONG value;
  } cases[] = {
      {52, 1032688},  // 52 * 0x1E0000 / 99, toward zero
      {0x80 | 52, 1032688},
      {99, k30dB},
      {0, 0},
  };
  for (const auto& c : cases) {
    presetMaster(c.masterByte);
    for (const LONG channel : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << "byte " << int{c.masterByte} << " channel " << channel);
      const Reply reply = send({.property = kMasterVolume, .channel = channel});
      EXPECT_EQ(reply.status, STATUS_SUCCESS);
      EXPECT_EQ(reply.valueSize, 4u);
      EXPECT_EQ(reply.asLong(), c.value);
    }
  }
}

TEST_F(Topology, VolumeRequestsThatLeaveTheCardAlone) {
  presetMaster(52);
  const struct {
    const char* what;
    Request request;
  } cases[] = {
      {"master channel 0", {.property = kMasterVolume, .verb = kSet, .value = k30dB, .channel = 0}},
      {"microphone in", {.property = kMicInVolume, .verb = kSet, .value = k30dB}},
      {"microphone in channel 0",
       {.property = kMicInVolume, .verb = kSet, .value = k30dB, .channel = 0}},
      {"microphone volume channel 0",
       {.property = kMasterVolume,
        .verb = kSet,
        .value = k30dB,
        .channel = 0,
        .node = kMicVolumeNode}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto packets = packetsStored();
    EXPECT_EQ(send(c.request).status, STATUS_SUCCESS);
    EXPECT_EQ(packetsStored(), packets);
    EXPECT_EQ(mixer(), recordWithMaster(52));
  }
  const Reply reply = send({.property = kMicInVolume});
  EXPECT_EQ(reply.status, STATUS_SUCCESS);
  EXPECT_EQ(reply.valueSize, 4u);
  EXPECT_EQ(reply.asLong(), 0) << "the microphone-in volume reads 0 dB whatever the master";
}

TEST_F(Topology, MalformedVolumeAndMuteRequestsAreInvalidAndSendNothing) {
  const struct {
    const char* what;
    Request request;
  } cases[] = {
      {"volume channel 2", {.property = kMasterVolume, .verb = kSet, .value = 0, .channel = 2}},
      {"volume channel -1", {.property = kMasterVolume, .channel = -1}},
      {"volume channel in 3 bytes", {.property = kMasterVolume, .verb = kSet, .instanceSize = 3}},
      {"volume without a channel", {.property = kMasterVolume, .instanceSize = 0}},
      {"volume set from 3 bytes", {.property = kMasterVolume, .verb = kSet, .valueSize = 3}},
      {"volume get into 3 bytes", {.property = kMasterVolume, .valueSize = 3}},
      {"volume on the filter", {.property = kMasterVolume, .verb = kSet, .node = PCFILTER_NODE}},
      {"volume support on the filter",
       {.property = kMasterVolume, .verb = kBasic, .valueSize = 72, .node = PCFILTER_NODE}},
      {"volume on node 37", {.property = kMasterVolume, .verb = kSet, .node = 37}},
      {"microphone volume channel 1",
       {.property = kMasterVolume, .verb = kSet, .node = kMicVolumeNode}},
      {"volume handler given another property",
       {.property = kMasterVolume, .verb = kSet, .id = KSPROPERTY_AUDIO_MUTE}},
      {"mute on the filter", {.property = kMasterMute, .verb = kSet, .node = PCFILTER_NODE}},
      {"mute channel in 3 bytes", {.property = kMasterMute, .verb = kSet, .instanceSize = 3}},
      {"mute set from 3 bytes", {.property = kMasterMute, .verb = kSet, .valueSize = 3}},
      {"mute get into 0 bytes", {.property = kMasterMute, .valueSize = 0}},
  };
  presetMaster(52);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto packets = packetsStored();
    EXPECT_EQ(send(c.request).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(packetsStored(), packets);
  }
  EXPECT_EQ(mixer(), recordWithMaster(52));
}

TEST_F(Topology, MuteSetKeepsTheLevelAndGetReadsBit7) {
  const struct {
    UCHAR before;
    LONG value;
    UCHAR after;
  } cases[] = {
      {0x34, 1, 0xB4}, {0xB4, 0, 0x34}, {0x34, -1, 0xB4}, {0xB4, 1, 0xB4}, {0x34, 0, 0x34},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "byte " << int{c.before} << " set " << c.value);
    presetMaster(c.before);
    EXPECT_EQ(send({.property = kMasterMute, .verb = kSet, .value = c.value}).status,
              STATUS_SUCCESS);
    EXPECT_EQ(mixer(), recordWithMaster(c.after));
    const Reply reply = send({.property = kMasterMute});
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    EXPECT_EQ(reply.valueSize, 4u);
    EXPECT_EQ(reply.asLong(), c.after >> 7);
  }
}

KSPROPERTY_DESCRIPTION description(ULONG access, ULONG size, ULONG type, ULONG membersLists) {
  return {access, size, {KSPROPTYPESETID_General, type, 0}, membersLists, 0};
}

struct Answer {
  const char* what;
  Request request;
  NTSTATUS status;
  std::optional<ULONG> valueSize;  // none: whatever an error leaves
  std::vector<UCHAR> value;        // the leading bytes answered; the rest stays as sent
};

void expectAnswers(const std::vector<Answer>& answers,
                   const std::function<Reply(const Request&)>& send) {
  for (const auto& a : answers) {
    SCOPED_TRACE(a.what);
    const Reply reply = send(a.request);
    EXPECT_EQ(reply.status, a.status);
    if (a.valueSize) {
      EXPECT_EQ(reply.valueSize, *a.valueSize);
    }
    ASSERT_LE(a.value.size(), reply.value.size());
    EXPECT_TRUE(std::equal(a.value.begin(), a.value.end(), reply.value.begin()));
    EXPECT_TRUE(std::equal(reply.value.begin() + a.value.size(), reply.value.end(),
                           reply.sent.begin() + a.value.size()))
        << "bytes beyond the answer were written";
  }
}

TEST_F(Topology, BasicSupportAnswersBySize) {
  struct {
    KSPROPERTY_DESCRIPTION description;
    KSPROPERTY_MEMBERSHEADER members;
    KSPROPERTY_STEPPING_LONG stepping;
  } const volume = {
      description(0x203, 72, VT_I4, 1),
      {KSPROPERTY_MEMBER_STEPPEDRANGES, 16, 1, 0},
      {0x20000, 0, {0, k30dB}},
  };
  static_assert(sizeof volume == 72);
  const auto volumeFull = bytesOf(volume);
  const auto volumeDescription = bytesOf(volume.description);
  const auto mute = bytesOf(description(0x203, 40, VT_BOOL, 0));
  const auto cpu = bytesOf(description(0x201, 40, VT_I4, 0));
  const auto getSetFlags = bytesOf(ULONG{0x203});
  const auto getFlags = bytesOf(ULONG{0x201});
  const auto basic = [](const Property& p, ULONG size) {
    return Request{.property = p, .verb = kBasic, .valueSize = size};
  };
  expectAnswers(
      {
          {"volume 72", basic(kMasterVolume, 72), STATUS_SUCCESS, 72, volumeFull},
          {"volume 100", basic(kMasterVolume, 100), STATUS_SUCCESS, 72, volumeFull},
          {"volume 71", basic(kMasterVolume, 71), STATUS_SUCCESS, 40, volumeDescription},
          {"volume 40", basic(kMasterVolume, 40), STATUS_SUCCESS, 40, volumeDescription},
          {"volume 39", basic(kMasterVolume, 39), STATUS_SUCCESS, 4, getSetFlags},
          {"volume 4", basic(kMasterVolume, 4), STATUS_SUCCESS, 4, getSetFlags},
          {"volume 3", basic(kMasterVolume, 3), STATUS_SUCCESS, 0, {}},
          {"volume 0", basic(kMasterVolume, 0), STATUS_SUCCESS, 0, {}},
          {"microphone in 72", basic(kMicInVolume, 72), STATUS_SUCCESS, 72, volumeFull},
          {"mute 72", basic(kMasterMute, 72), STATUS_SUCCESS, 40, mute},
          {"mute 40", basic(kMasterMute, 40), STATUS_SUCCESS, 40, mute},
          {"mute 39", basic(kMasterMute, 39), STATUS_SUCCESS, 4, getSetFlags},
          {"mute 4", basic(kMasterMute, 4), STATUS_SUCCESS, 4, getSetFlags},
          {"mute 3", basic(kMasterMute, 3), STATUS_INVALID_PARAMETER, std::nullopt, {}},
          {"volume cpu 40", basic(kVolumeCpu, 40), STATUS_SUCCESS, 40, cpu},
          {"mute cpu 72", basic(kMuteCpu, 72), STATUS_SUCCESS, 40, cpu},
          {"cpu 39", basic(kMuteCpu, 39), STATUS_SUCCESS, 4, getFlags},
          {"cpu 4", basic(kVolumeCpu, 4), STATUS_SUCCESS, 4, getFlags},
          {"cpu 3", basic(kVolumeCpu, 3), STATUS_INVALID_DEVICE_REQUEST, std::nullopt, {}},
          {"component id 4", basic(kComponentId, 4), STATUS_SUCCESS, 4, getFlags},
          {"component id 72", basic(kComponentId, 72), STATUS_SUCCESS, 4, getFlags},
          {"component id 3", basic(kComponentId, 3), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"private 4", basic(kPrivateGet, 4), STATUS_SUCCESS, 4, getSetFlags},
          {"private 3", basic(kPrivateSet, 3), STATUS_BUFFER_TOO_SMALL, 0, {}},
      },
      [this](const Request& r) { return send(r); });
}

TEST_F(Topology, GetAndSetAnswerBySize) {
  const KSCOMPONENTID identity = {
      {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9E}},
      {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9C}},
      {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9D}},
      GUID_NULL,
      0,
      1,
  };
  const auto get = [](const Property& p, ULONG size) {
    return Request{.property = p, .valueSize = size};
  };
  const auto set = [](const Property& p, ULONG size) {
    return Request{.property = p, .verb = kSet, .valueSize = size};
  };
  const auto cpuOnNode = [](ULONG node) { return Request{.property = kVolumeCpu, .node = node}; };
  expectAnswers(
      {
          {"cpu get 4", get(kMuteCpu, 4), STATUS_SUCCESS, 4, bytesOf(LONG{0})},
          {"cpu get 8", get(kVolumeCpu, 8), STATUS_SUCCESS, 4, bytesOf(LONG{0})},
          {"cpu get 3", get(kVolumeCpu, 3), STATUS_BUFFER_TOO_SMALL, std::nullopt, {}},
          {"cpu set", set(kVolumeCpu, 4), STATUS_INVALID_DEVICE_REQUEST, std::nullopt, {}},
          {"cpu on the filter",
           cpuOnNode(PCFILTER_NODE),
           STATUS_INVALID_DEVICE_REQUEST,
           std::nullopt,
           {}},
          {"cpu on node 37", cpuOnNode(37), STATUS_INVALID_DEVICE_REQUEST, std::nullopt, {}},
          {"identity 72", get(kComponentId, 72), STATUS_SUCCESS, 72, bytesOf(identity)},
          {"identity 80", get(kComponentId, 80), STATUS_SUCCESS, 72, bytesOf(identity)},
          {"identity size query", get(kComponentId, 0), STATUS_BUFFER_OVERFLOW, 72, {}},
          {"identity 71", get(kComponentId, 71), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"identity 1", get(kComponentId, 1), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"identity set", set(kComponentId, 72), STATUS_INVALID_DEVICE_REQUEST, std::nullopt, {}},
          {"private get size query", get(kPrivateGet, 0), STATUS_BUFFER_OVERFLOW, 104, {}},
          {"private get 103", get(kPrivateGet, 103), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"private get 1", get(kPrivateGet, 1), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"private get 104", get(kPrivateGet, 104), STATUS_SUCCESS, 104, {}},
          {"private get 200", get(kPrivateGet, 200), STATUS_SUCCESS, 104, {}},
          {"private set size query", set(kPrivateSet, 0), STATUS_BUFFER_OVERFLOW, 104, {}},
          {"private set 103", set(kPrivateSet, 103), STATUS_BUFFER_TOO_SMALL, 0, {}},
          {"private set 104", set(kPrivateSet, 104), STATUS_SUCCESS, std::nullopt, {}},
          {"private set through id 1",
           {.property = kPrivateSet, .verb = kSet, .id = 1},
           STATUS_INVALID_DEVICE_REQUEST,
           std::nullopt,
           {}},
          {"private get through id 2",
           {.property = kPrivateGet, .id = 2},
           STATUS_INVALID_DEVICE_REQUEST,
           std::nullopt,
           {}},
      },
      [this](const Request& r) { return send(r); });
}

// Every handler, every verb its item allows, every value size up to past the
// largest answer, with and without a whole channel: nothing is written past
// the value size (checked in callHandler) and nothing more is claimed.
TEST_F(Topology, NoHandlerWritesPastTheValueSize) {
  for (ULONG node : allNodes(*filter)) {
    for (const auto* item : itemsOf(tableOf(*filter, node))) {
      for (ULONG verb : verbsOf(*item)) {
        for (ULONG instanceSize : {0u, 3u, 8u}) {
          for (ULONG size = 0; size <= 120; ++size) {
            SCOPED_TRACE(::testing::Message()
                         << "node " << static_cast<LONG>(node) << " id " << item->Id << " verb "
                         << verb << " instance " << instanceSize << " size " << size);
            callHandler(miniport, *item, node,
                        {.property = {node, item->Set, item->Id},
                         .verb = verb,
                         .valueSize = size,
                         .value = k16dB,
                         .instanceSize = instanceSize});
            if (HasFailure()) return;
          }
        }
      }
    }
  }
}

TEST_F(Topology, AValueBufferThatIsNotThereIsAnInvalidParameter) {
  const auto packets = packetsStored();
  for (ULONG node : allNodes(*filter)) {
    for (const auto* item : itemsOf(tableOf(*filter, node))) {
      for (ULONG verb : verbsOf(*item)) {
        SCOPED_TRACE(::testing::Message() << "node " << static_cast<LONG>(node) << " id "
                                          << item->Id << " verb " << verb);
        const Reply reply = callHandler(miniport, *item, node,
                                        {.property = {node, item->Set, item->Id},
                                         .verb = verb,
                                         .valueSize = 72,
                                         .nullValue = true});
        EXPECT_EQ(reply.status, STATUS_INVALID_PARAMETER);
      }
    }
  }
  EXPECT_EQ(packetsStored(), packets);
}

// The same handlers reached by a program: a property request through the
// port's dispatch on the published filter.
TEST_F(Topology, ThroughKernelStreaming) {
  auto ks = kernel::KsFilter::open(machine->functionalDevice(), u"Topology");
  ASSERT_NE(ks, nullptr);
  presetMaster(0x80 | 10);

  LONG value = k16dB;
  ULONG_PTR returned = 99;
  EXPECT_EQ(ks->channelProperty(KSPROPSETID_Audio, KSPROPERTY_AUDIO_VOLUMELEVEL, kSet,
                                kMasterVolumeNode, 1, &value, sizeof value, &returned),
            STATUS_SUCCESS);
  EXPECT_EQ(mixer()[card::kMixerMasterByte], 0x80 | 52);
  value = 0;
  EXPECT_EQ(ks->channelProperty(KSPROPSETID_Audio, KSPROPERTY_AUDIO_MUTE, kSet, kMasterMuteNode, 0,
                                &value, sizeof value, &returned),
            STATUS_SUCCESS);
  EXPECT_EQ(mixer()[card::kMixerMasterByte], 52);
  EXPECT_EQ(ks->channelProperty(KSPROPSETID_Audio, KSPROPERTY_AUDIO_VOLUMELEVEL, kGet,
                                kMasterVolumeNode, 0, &value, sizeof value, &returned),
            STATUS_SUCCESS);
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(value, 1032688);

  KSPROPERTY identity = {KSPROPSETID_General, KSPROPERTY_GENERAL_COMPONENTID, kGet};
  EXPECT_EQ(ks->property(&identity, sizeof identity, nullptr, 0, &returned),
            STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(returned, sizeof(KSCOMPONENTID));
}

}  // namespace
