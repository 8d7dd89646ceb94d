#pragma once

#include <atomic>

// Scene items belong to the GUI thread. The automatic layout shares its
// searches out to helper threads, which must see values read beforehand,
// never an item: reading an item's scene geometry may refresh the item's
// cached transform, and Qt's items take no lock. The accessors the layout
// reads its inputs through report every read here while a watch is on, so
// that a read made on another thread than the application's shows up.
class ItemReadWatch
{
public:
    struct Counts
    {
        int reads = 0;
        int offThread = 0; // made on another thread than the application's
    };

    // On: counts afresh from zero. Off: stops counting; the counts stay.
    static void setWatching(bool on);
    static Counts counts();

    static void noteRead()
    {
        if (s_watching.load(std::memory_order_relaxed))
            countRead();
    }

private:
    static void countRead();

    static inline std::atomic<bool> s_watching{false};
    static inline std::atomic<int> s_reads{0};
    static inline std::atomic<int> s_offThread{0};
};
