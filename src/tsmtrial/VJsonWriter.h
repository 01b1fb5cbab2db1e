// A small streaming JSON writer: objects, arrays, keys, strings, numbers, booleans and null,
// written in the order the caller gives, compact or indented.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Builds one JSON text in memory. The caller opens and closes objects and arrays and gives
/// keys before object members; the writer puts commas, quotes and escapes in place. Strings
/// are written as UTF-8: valid UTF-8 sequences pass through, any other byte is taken as
/// Latin-1 and escaped as \u00XX, so the output stays valid JSON whatever bytes a file held.
/// Non-finite doubles (which JSON cannot hold) are written as null; finite ones in the
/// shortest form that reads back to the same double.
///
/// Misuse (a value where a key is due, closing what is not open) is recorded and makes
/// IsComplete false instead of producing invalid text silently. Copyable value type; one
/// thread at a time.
class VJsonWriter
{
public:
    /// `indent`: spaces per level; 0 writes everything on one line.
    explicit VJsonWriter(int indent = 0) : m_Indent(indent) {}

    /// How an indented writer lays out a container: members on lines of their own, or all
    /// on the line where the container opens (for short tuples such as [x, y]).
    enum class Layout : std::uint8_t
    {
        Lines,
        Inline
    };

    VJsonWriter& BeginObject(Layout layout = Layout::Lines);
    VJsonWriter& EndObject();
    VJsonWriter& BeginArray(Layout layout = Layout::Lines);
    VJsonWriter& EndArray();
    /// The key of the next object member.
    VJsonWriter& Key(std::string_view key);

    VJsonWriter& String(std::string_view text);
    VJsonWriter& Number(double value);
    /// A single-precision value in the shortest form that reads back to the same float.
    VJsonWriter& Number(float value);
    VJsonWriter& Integer(std::int64_t value);
    VJsonWriter& Unsigned(std::uint64_t value);
    VJsonWriter& Bool(bool value);
    VJsonWriter& Null();

    /// The text so far.
    const std::string& GetText() const { return m_Text; }
    /// True when exactly one top-level value was written, every container is closed and no
    /// call was out of place.
    bool IsComplete() const { return m_Stack.empty() && m_HasRoot && !m_Misused; }

    /// `text` as a JSON string literal, quotes included.
    static std::string Quote(std::string_view text);
    /// The shortest decimal form that reads back to `value`; "null" when not finite.
    static std::string FormatNumber(double value);
    static std::string FormatNumber(float value);

private:
    enum class Container : std::uint8_t
    {
        Object,
        Array
    };
    struct VLevel
    {
        Container Kind;
        bool Inline = false; // set for inline containers and everything inside them
        bool HasMembers = false;
        bool KeyPending = false; // an object member's key was written, its value is due
    };

    /// Writes what goes before a value (comma, newline and indent); false on misuse.
    bool BeforeValue();
    /// A line break and the indent of `depth`, or a blank inside inline containers.
    void NewLine(std::size_t depth);
    void Open(Container kind, char opener, Layout layout);
    VJsonWriter& Raw(std::string_view text);
    VJsonWriter& Close(Container kind, char closer);

    std::string m_Text;
    std::vector<VLevel> m_Stack;
    int m_Indent = 0;
    bool m_HasRoot = false;
    bool m_Misused = false;
};
