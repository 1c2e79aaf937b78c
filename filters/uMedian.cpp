#include "filters/uMedian.h"

#include <algorithm>
#include <cmath>

#include "support/uExceptions.h"

namespace vantrel {

int32_t TCustomMedianListItem::CompareTo(const TCustomMedianListItem& other) const {
    const double a = GetValue();
    const double b = other.GetValue();
    const double tolerance = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    if (std::fabs(a - b) <= tolerance) return 0;
    return a > b ? -1 : 1;
}

std::unique_ptr<TCustomMedianListItem> TCustomMedianList::CreateItem(double value) {
    return std::make_unique<TCustomMedianListItem>(value);
}

void TCustomMedianList::Add(double value) {
    std::unique_ptr<TCustomMedianListItem> item = CreateItem(value);
    // The emptiness test keeps a capacity of 0 or less from looping forever.
    while (Count() > 0 && Count() >= Capacity)
        RemoveOldest();

    TCustomMedianListItem* raw = item.get();
    if (Oldest == nullptr) Oldest = raw;
    raw->Older = Newest;
    if (Newest != nullptr) Newest->Newer = raw;
    raw->Newer = nullptr;
    Newest = raw;

    InsertSorted(std::move(item));
}

// Bisection for the place of the new item among the sorted ones; an equal value goes before
// the first equal item found.
void TCustomMedianList::InsertSorted(std::unique_ptr<TCustomMedianListItem> item) {
    if (Items.empty()) {
        Items.push_back(std::move(item));
        return;
    }
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(Items.size()) - 1;
    int64_t position = 0;
    while (true) {
        if (lo == hi) {
            // CompareTo = 1: the item there is smaller than the new one.
            position = Items[lo]->CompareTo(*item) == 1 ? lo + 1 : lo;
            break;
        }
        const int64_t mid = lo + (hi - lo) / 2;
        const int32_t order = Items[mid]->CompareTo(*item);
        if (order == -1) {
            hi = mid;
        } else if (order == 0) {
            position = mid;
            break;
        } else {
            lo = mid == lo ? hi : mid;
        }
    }
    Items.insert(Items.begin() + position, std::move(item));
}

void TCustomMedianList::RemoveOldest() {
    if (Oldest == nullptr) return;
    TCustomMedianListItem* leaving = Oldest;
    Oldest = leaving->Newer;
    if (Oldest != nullptr) Oldest->Older = nullptr;
    const auto found = std::find_if(Items.begin(), Items.end(),
                                    [leaving](const auto& held) { return held.get() == leaving; });
    if (found != Items.end()) Items.erase(found);
    if (Items.empty()) Newest = nullptr;
}

void TCustomMedianList::Clear() {
    Items.clear();
    Oldest = nullptr;
    Newest = nullptr;
}

void TCustomMedianList::SetCapacity(int32_t n) {
    Capacity = n;
    while (Count() > 0 && Count() >= n)
        RemoveOldest();
}

double TCustomMedianList::SortedValue(int64_t index) const {
    if (index < 0 || index >= static_cast<int64_t>(Items.size()))
        throw ERangeError("Index out of range");
    return Items[static_cast<size_t>(index)]->GetValue();
}

double TCustomMedianList::ValueAt(double p) const {
    if (!std::isfinite(p)) throw ERangeError("Index out of range");
    const double whole = std::round(p);  // halves away from zero
    if (std::fabs(p - whole) <= std::fabs(p) * 1e-16)
        return SortedValue(static_cast<int64_t>(whole));
    const int64_t below = std::max<int64_t>(static_cast<int64_t>(std::trunc(p)), 0);
    const int64_t above = std::min<int64_t>(static_cast<int64_t>(std::ceil(p)), Count() - 1);
    // The mean is formed in long double so that two large values cannot overflow.
    const long double sum = static_cast<long double>(SortedValue(below)) + SortedValue(above);
    return static_cast<double>(sum / 2);
}

void TCustomMedianList::Assign(const TCustomMedianList& source) {
    if (&source == this) return;
    std::vector<double> values;
    values.reserve(source.Items.size());
    for (const TCustomMedianListItem* item = source.Oldest; item != nullptr; item = item->Newer)
        values.push_back(item->GetValue());
    SetCapacity(source.Capacity);
    Clear();
    for (double value : values)
        Add(value);
}

}  // namespace vantrel
