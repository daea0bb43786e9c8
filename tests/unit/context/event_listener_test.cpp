#include "context/event_listener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "context/events.h"

namespace {
using ::testing::ElementsAre;

// Notes its index in a shared journal and runs an optional reaction.
class JournalListener : public EventListener<KeyPressedEvent> {
  public:
    void receive(const KeyPressedEvent& event) override {
        journal->push_back(index);
        lastKey = event.key;
        if (reaction) {
            reaction();
        }
    }

    int index = 0;
    int lastKey = 0;
    std::vector<int>* journal = nullptr;
    std::function<void()> reaction;
};

// Listeners in one array, so their addresses ascend with their index.
struct Listeners {
    Listeners() {
        for (int i = 0; i < 4; ++i) {
            all[i].index = i;
            all[i].journal = &journal;
        }
    }
    std::array<JournalListener, 4> all;
    std::vector<int> journal;
};

TEST(EventSource, DispatchCallsListenersInAscendingPointerOrder) {
    Listeners listeners;
    EventSource<KeyPressedEvent> source;
    for (int i : {2, 0, 3, 1, 2}) {
        source.subscribe(&listeners.all[i]);
    }
    source.dispatch(KeyPressedEvent{65, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(0, 1, 2, 3));
    EXPECT_EQ(listeners.all[3].lastKey, 65);
}

TEST(EventSource, UnsubscribeTakesEffectAtOnceAndRemovesAfterTheDispatch) {
    Listeners listeners;
    EventSource<KeyPressedEvent> source;
    for (JournalListener& listener : listeners.all) {
        source.subscribe(&listener);
    }
    // 1 drops itself and the later 2; 3 drops the earlier 0, which has
    // received this event already.
    listeners.all[1].reaction = [&] {
        source.unsubscribe(&listeners.all[1]);
        source.unsubscribe(&listeners.all[2]);
    };
    listeners.all[3].reaction = [&] { source.unsubscribe(&listeners.all[0]); };

    source.dispatch(KeyPressedEvent{1, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(0, 1, 3));
    for (int i : {0, 1, 2}) {
        EXPECT_FALSE(source.isSubscribed(&listeners.all[i])) << i;
    }
    EXPECT_TRUE(source.isSubscribed(&listeners.all[3]));

    listeners.journal.clear();
    source.dispatch(KeyPressedEvent{2, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(3));
}

TEST(EventSource, UnsubscribeOutsideADispatchSkipsTheListenerInTheNextOne) {
    Listeners listeners;
    EventSource<KeyPressedEvent> source;
    source.subscribe(&listeners.all[0]);
    source.subscribe(&listeners.all[1]);
    source.unsubscribe(&listeners.all[0]);
    EXPECT_FALSE(source.isSubscribed(&listeners.all[0]));
    source.dispatch(KeyPressedEvent{1, 0});
    source.dispatch(KeyPressedEvent{2, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(1, 1));

    // Subscribing again after the removal works as the first time.
    source.subscribe(&listeners.all[0]);
    listeners.journal.clear();
    source.dispatch(KeyPressedEvent{3, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(0, 1));
}

TEST(EventSource, SubscribeInsideReceiveKeepsTheNewListener) {
    Listeners listeners;
    EventSource<KeyPressedEvent> source;
    source.subscribe(&listeners.all[2]);
    listeners.all[2].reaction = [&] { source.subscribe(&listeners.all[0]); };
    source.dispatch(KeyPressedEvent{1, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(2));
    EXPECT_TRUE(source.isSubscribed(&listeners.all[0]));
    listeners.journal.clear();
    source.dispatch(KeyPressedEvent{2, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(0, 2));
}

// A listener destroyed and another made at the same address before the next
// dispatch: the new subscription must survive the old pending removal.
TEST(EventSource, SubscribeAfterAnUnsubscribeBeforeTheDispatchKeepsTheListener) {
    Listeners listeners;
    EventSource<KeyPressedEvent> source;
    source.subscribe(&listeners.all[0]);
    source.unsubscribe(&listeners.all[0]);
    source.subscribe(&listeners.all[0]);
    EXPECT_TRUE(source.isSubscribed(&listeners.all[0]));
    source.dispatch(KeyPressedEvent{1, 0});
    source.dispatch(KeyPressedEvent{2, 0});
    EXPECT_THAT(listeners.journal, ElementsAre(0, 0));
}

struct MouseQueue : DelayedEventListener<MouseButtonPressedEvent> {};

TEST(DelayedEventListener, QueuesEventsInTheOrderTheyArrive) {
    EventSource<MouseButtonPressedEvent> source;
    MouseQueue queue;
    source.subscribe(&queue);
    source.dispatch(MouseButtonPressedEvent{10, 20, 0, 0});
    source.dispatch(MouseButtonPressedEvent{11, 21, 1, 2});
    source.dispatch(MouseButtonPressedEvent{-3, 0, 2, 4});
    ASSERT_EQ(queue.events.size(), 3u);
    std::vector<int> drained;
    while (!queue.events.empty()) {
        const MouseButtonPressedEvent& event = queue.events.front();
        drained.insert(drained.end(), {event.x, event.y, event.button, event.mods});
        queue.events.pop_front();
    }
    EXPECT_THAT(drained, ElementsAre(10, 20, 0, 0, 11, 21, 1, 2, -3, 0, 2, 4));
}
}  // namespace
