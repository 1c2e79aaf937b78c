// The running median list: the last values of a stream, held at the same time in arrival order
// (to drop the oldest) and sorted by value (to read the median without sorting). Inserting
// finds the place by bisection; the median is read in constant time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vantrel {

// One value of the list, linked to its neighbours in arrival order.
class TCustomMedianListItem {
  public:
    explicit TCustomMedianListItem(double value) { SetValue(value); }
    virtual ~TCustomMedianListItem() = default;
    TCustomMedianListItem(const TCustomMedianListItem&) = delete;
    TCustomMedianListItem& operator=(const TCustomMedianListItem&) = delete;

    virtual double GetValue() const { return Value; }
    virtual void SetValue(double value) { Value = value; }
    // -1 when this value is greater than the other's, 0 when the two are equal within
    // max(min(|a|, |b|) * 1e-12, 1e-12), 1 when this value is smaller.
    virtual int32_t CompareTo(const TCustomMedianListItem& other) const;

    // The next newer item; nullptr for the newest. Maintained by the list.
    TCustomMedianListItem* Newer = nullptr;
    // The next older item; nullptr for the oldest. Maintained by the list.
    TCustomMedianListItem* Older = nullptr;

  protected:
    double Value = 0;
};

class TCustomMedianList {
  public:
    TCustomMedianList() = default;
    virtual ~TCustomMedianList() = default;
    TCustomMedianList(const TCustomMedianList&) = delete;
    TCustomMedianList& operator=(const TCustomMedianList&) = delete;

    // Drops the oldest values until there is room, then inserts value as the newest.
    void Add(double value);
    // The median of the values held: the middle value of an odd count, the mean of the two
    // middle values of an even count. Raises ERangeError "Index out of range" when empty.
    double Median() const { return ValueAt(MiddleIndex()); }
    // (Count + 1)/2 - 1: the sorted position of the median, x.5 between two values.
    double MiddleIndex() const { return (Count() + 1) / 2.0 - 1; }
    // The value at sorted position p: at index p when p is whole, else the mean of the values
    // at the indices around p. Raises ERangeError "Index out of range" outside the list.
    double ValueAt(double p) const;
    void RemoveOldest();
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    // Most values kept; 10 after construction.
    int32_t GetCapacity() const { return Capacity; }
    // Capacity := n, then drops the oldest values until fewer than n remain.
    void SetCapacity(int32_t n);
    // Becomes a copy of source: its capacity and its values in arrival order.
    virtual void Assign(const TCustomMedianList& source);

    // First and last item in arrival order; nullptr when empty.
    const TCustomMedianListItem* GetOldest() const { return Oldest; }
    const TCustomMedianListItem* GetNewest() const { return Newest; }

  protected:
    virtual std::unique_ptr<TCustomMedianListItem> CreateItem(double value);

  private:
    void InsertSorted(std::unique_ptr<TCustomMedianListItem> item);
    double SortedValue(int64_t index) const;

    TCustomMedianListItem* Oldest = nullptr;
    // Every item, ascending by value; the list owns them.
    std::vector<std::unique_ptr<TCustomMedianListItem>> Items;
    TCustomMedianListItem* Newest = nullptr;
    int32_t Capacity = 10;
};

// The list of doubles the median filter uses.
class TDoubleMedianList : public TCustomMedianList {};

}  // namespace vantrel
