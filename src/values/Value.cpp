// Kind names, wiping and trimming of the Value record.
#include "values/Value.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace vorn {

namespace {
constexpr std::string_view kKindNames[] = {
    "unspecified", "string", "integer", "float", "func", "list", "bytes", "scaffold", "cfunc", "",
};
}

std::string_view kindName(Kind kind) { return kKindNames[static_cast<int>(kind)]; }

const Text& kindText(Kind kind) {
    static Text texts[std::size(kKindNames)];
    Text& text = texts[static_cast<int>(kind)];
    if (text.empty() && kind != Kind::Wiped) text = Text(std::string(kindName(kind)));
    return text;
}

bool kindFromName(std::string_view name, Kind& kind) {
    for (int i = 0; i < 10; ++i) {
        if (kKindNames[i] == name) {
            kind = static_cast<Kind>(i);
            return true;
        }
    }
    return false;
}

void Value::wipe() {
    kind = Kind::Wiped;
    text.clear();
    integer = 0;
    items.clear();
    x_.reset();
}

void Value::trimToKind() {
    if (kind != Kind::String && kind != Kind::Func) text.clear();
    if (kind != Kind::Integer) integer = 0;
    if (kind != Kind::List) items.clear();
    if (!x_) return;
    const bool staleBytes = kind != Kind::Bytes && !x_->bytes.empty();
    const bool staleReal = kind != Kind::Float && !ValueExtras::isPlainZero(x_->real);
    const bool staleMembers = kind != Kind::Scaffold && !x_->members.empty();
    if (staleBytes || staleReal || staleMembers) {
        ValueExtras& x = extras();
        if (staleBytes) x.bytes.clear();
        if (staleReal) x.real = 0.0L;
        if (staleMembers) x.members.clear();
    }
    if (x_->allDefault()) x_.reset();
}

const ValueRef& Value::noRef() {
    static const ValueRef none;
    return none;
}
const Cow<ByteList>& Value::noBytes() {
    static const Cow<ByteList> none;
    return none;
}
const Cow<NameList>& Value::noNames() {
    static const Cow<NameList> none;
    return none;
}
const MemberTable& Value::noMembers() {
    static const MemberTable none;
    return none;
}

namespace {
constexpr std::size_t kPooledMembers = 8;

// Head: the size of the block's count, Each: of one entry.
template <std::size_t Head, std::size_t Each, std::size_t... Counts>
void* allocatePooled(std::size_t count, std::index_sequence<Counts...>) {
    void* block = nullptr;
    (void)((count == Counts + 1 ? (block = Pool<Head + (Counts + 1) * Each>::allocate(), true) : false) || ...);
    return block;
}
template <std::size_t Head, std::size_t Each, std::size_t... Counts>
void releasePooled(void* block, std::size_t count, std::index_sequence<Counts...>) {
    (void)((count == Counts + 1 ? (Pool<Head + (Counts + 1) * Each>::release(block), true) : false) || ...);
}
}  // namespace

void* MemberTable::allocateBlock(std::uint32_t count) {
    if (count <= kPooledMembers)
        return allocatePooled<sizeof(Block), sizeof(Entry)>(count, std::make_index_sequence<kPooledMembers>());
    return ::operator new(sizeof(Block) + count * sizeof(Entry));
}

void MemberTable::releaseBlock(void* block, std::uint32_t count) {
    if (count <= kPooledMembers)
        releasePooled<sizeof(Block), sizeof(Entry)>(block, count, std::make_index_sequence<kPooledMembers>());
    else ::operator delete(block);
}

MemberTable MemberTable::of(std::vector<Entry> members) {
    MemberTable table;
    if (members.empty()) return table;
    // Stable, so that of two entries of one name the last comes last and wins.
    std::stable_sort(members.begin(), members.end(),
                     [](const Entry& a, const Entry& b) { return a.name->text < b.name->text; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (kept > 0 && members[kept - 1].name == members[i].name) members[kept - 1] = std::move(members[i]);
        else members[kept++] = std::move(members[i]);
    }
    const auto count = static_cast<std::uint32_t>(kept);
    void* raw = allocateBlock(count);
    Block* block = new (raw) Block(count);
    Entry* entries = block->entries();
    for (std::uint32_t i = 0; i < count; ++i) new (entries + i) Entry(std::move(members[i]));
    table.block_ = Ref<Block>(block);
    return table;
}

void MemberTable::Block::operator delete(Block* block, std::destroying_delete_t) {
    const std::uint32_t count = block->count;
    block->~Block();
    releaseBlock(block, count);
}

MemberTable::Block::~Block() {
    Entry* e = entries();
    for (std::uint32_t i = 0; i < count; ++i) e[i].~Entry();
}

const Item* MemberTable::findByHalves(std::string_view name) const {
    const Entry* first = begin();
    const Entry* last = end();
    const Entry* at = std::lower_bound(first, last, name,
                                       [](const Entry& e, std::string_view n) { return std::string_view(e.name->text) < n; });
    return at != last && std::string_view(at->name->text) == name ? &at->value : nullptr;
}

}  // namespace vorn
