#pragma once
// Listeners and the sources that dispatch events to them.
#include <deque>
#include <set>

template <typename E>
class EventListener {
public:
    virtual void receive(const E& event) = 0;

protected:
    // Listeners are destroyed through their concrete type.
    ~EventListener() = default;
};

// Queues events during event polling; the owner drains the queue (oldest
// first) in its own update, so game logic never runs inside a callback.
template <typename E>
class DelayedEventListener : public EventListener<E> {
public:
    void receive(const E& event) override { events.push_back(event); }

    std::deque<E> events;

protected:
    ~DelayedEventListener() = default;
};

template <typename E>
class EventSource {
public:
    // Also cancels a pending unsubscription of the same pointer: a listener
    // created where an unsubscribed one lived must not be dropped with it.
    void subscribe(EventListener<E>* listener) {
        listeners.insert(listener);
        pendingRemoval.erase(listener);
    }

    // Takes effect at the end of the next dispatch; until then the listener is
    // skipped, so unsubscribing from inside receive() is safe.
    void unsubscribe(EventListener<E>* listener) { pendingRemoval.insert(listener); }

    void dispatch(const E& event) {
        for (EventListener<E>* listener : listeners) {
            if (pendingRemoval.count(listener) == 0) {
                listener->receive(event);
            }
        }
        for (EventListener<E>* removed : pendingRemoval) {
            listeners.erase(removed);
        }
        pendingRemoval.clear();
    }

    bool isSubscribed(EventListener<E>* listener) const {
        return listeners.count(listener) != 0 && pendingRemoval.count(listener) == 0;
    }

private:
    std::set<EventListener<E>*> listeners;
    std::set<EventListener<E>*> pendingRemoval;
};
