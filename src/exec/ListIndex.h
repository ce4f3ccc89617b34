// Finding a text in a long list without walking it.
//
// `where` gives the first position holding a value equal to the one wanted,
// and a program that counts words the obvious way asks that of a growing
// list for every word. For a wanted text, the answer can come from an index
// of the list's texts: a hash table from each text to its first position.
//
// Exactness. An index is kept beside one item box (values/Ref.h), and it is
// trusted only while
// - the box is the one it was built on and has not changed since: every
//   change of a box gives it a new stamp, and `add` and `remove` bring the
//   index along with their change instead of dropping it;
// - no element it relies on has changed. It relies only on elements that are
//   texts which nothing but the list holds and no name binds: a script can
//   change a Value in place only through a name bound to it (`index`, an
//   `each` pass, an argument, a member comes from one too), so those cells
//   are watched (values/Value.h), and the first binding of any watched cell
//   makes every index stop trusting itself.
// Every other element (a number, a text that some name or other list holds,
// a list, ...) is an "other": its position is kept and it is compared, in
// order, exactly as the walk would compare it, so a number met before the
// match still raises the "stold" error the walk raises. The hit itself is
// read again from the list before it is given.
//
// Cost. Building an index walks the list once; it is built only after
// searches on the same unchanged list have walked as many elements as the
// list holds, so a list that changes between searches costs at most about
// twice its plain walks. Lists shorter than kMinIndexed are walked. Only a
// few indexes are kept, by the interpreter (the least recently used one goes
// first).
#pragma once

#include <cstdint>

#include "exec/Interpreter.h"
#include "values/Value.h"

namespace vorn {

// Lists shorter than this are always walked.
inline constexpr std::size_t kMinIndexed = 32;

// The result of `where`: the first position in items holding a value equal
// to wanted (valuesEqual), or -1; raises what the walk would raise.
std::int32_t findInItems(Interpreter& interpreter, const Cow<ItemList>& items, const Value& wanted);

// `add` and `remove` keep an index of the list they change up to date. Made
// before the change (and before the box is handed out for it), told after.
class ListChange {
public:
    // Until a `where` has indexed a list, no change has an index to keep up.
    ListChange(Interpreter& interpreter, const Cow<ItemList>& items) {
        if (interpreter.keepsListIndexes()) follow(interpreter, items);
    }
    // The last element of items was just appended.
    void appended(const Cow<ItemList>& items) {
        if (index_) appendedIndexed(items);
    }
    // The element at position is about to be unlinked (call before the
    // box is handed out for it), then it was.
    void removing(const Cow<ItemList>& items, std::size_t position);
    void removed(const Cow<ItemList>& items);

private:
    void follow(Interpreter& interpreter, const Cow<ItemList>& items);
    void appendedIndexed(const Cow<ItemList>& items);
    class ListIndex* index_ = nullptr;
};

}  // namespace vorn
