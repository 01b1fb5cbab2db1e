// A strict JSON reader for the tests: parses what tsmtrial prints into a tree that keeps the
// order of object keys, so tests can check both values and key order.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace TestJson
{

struct VValue
{
    enum class Type
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };
    Type Kind = Type::Null;
    bool Boolean = false;
    double Number = 0.0;
    std::string Text; // the string, or a number's literal text
    std::vector<VValue> Items;
    std::vector<std::pair<std::string, VValue>> Members;

    bool IsNull() const { return Kind == Type::Null; }
    /// The member named `key`; a static null value when there is none.
    const VValue& operator[](const std::string& key) const
    {
        static const VValue none;
        for (const auto& member : Members)
        {
            if (member.first == key)
            {
                return member.second;
            }
        }
        return none;
    }
    const VValue& operator[](std::size_t index) const
    {
        static const VValue none;
        return index < Items.size() ? Items[index] : none;
    }
    bool Has(const std::string& key) const
    {
        for (const auto& member : Members)
        {
            if (member.first == key)
            {
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> Keys() const
    {
        std::vector<std::string> keys;
        for (const auto& member : Members)
        {
            keys.push_back(member.first);
        }
        return keys;
    }
};

/// Parses one JSON text (nothing but white space may follow). False on any deviation from
/// the grammar, including control characters in strings and non-finite numbers.
class VParser
{
public:
    explicit VParser(const std::string& text) : m_Text(text) {}

    bool Parse(VValue& value)
    {
        SkipSpace();
        if (!ParseValue(value, 0))
        {
            return false;
        }
        SkipSpace();
        return m_Position == m_Text.size();
    }

private:
    void SkipSpace()
    {
        while (m_Position < m_Text.size() &&
               (m_Text[m_Position] == ' ' || m_Text[m_Position] == '\n' ||
                m_Text[m_Position] == '\t' || m_Text[m_Position] == '\r'))
        {
            ++m_Position;
        }
    }

    bool Literal(const char* word)
    {
        const std::string text(word);
        if (m_Text.compare(m_Position, text.size(), text) != 0)
        {
            return false;
        }
        m_Position += text.size();
        return true;
    }

    bool ParseValue(VValue& value, int depth)
    {
        if (depth > 64 || m_Position >= m_Text.size())
        {
            return false;
        }
        const char c = m_Text[m_Position];
        if (c == 'n')
        {
            value.Kind = VValue::Type::Null;
            return Literal("null");
        }
        if (c == 't' || c == 'f')
        {
            value.Kind = VValue::Type::Bool;
            value.Boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == '"')
        {
            value.Kind = VValue::Type::String;
            return ParseString(value.Text);
        }
        if (c == '[')
        {
            value.Kind = VValue::Type::Array;
            ++m_Position;
            SkipSpace();
            if (m_Position < m_Text.size() && m_Text[m_Position] == ']')
            {
                ++m_Position;
                return true;
            }
            for (;;)
            {
                SkipSpace();
                value.Items.emplace_back();
                if (!ParseValue(value.Items.back(), depth + 1))
                {
                    return false;
                }
                SkipSpace();
                if (m_Position >= m_Text.size())
                {
                    return false;
                }
                if (m_Text[m_Position] == ']')
                {
                    ++m_Position;
                    return true;
                }
                if (m_Text[m_Position++] != ',')
                {
                    return false;
                }
            }
        }
        if (c == '{')
        {
            value.Kind = VValue::Type::Object;
            ++m_Position;
            SkipSpace();
            if (m_Position < m_Text.size() && m_Text[m_Position] == '}')
            {
                ++m_Position;
                return true;
            }
            for (;;)
            {
                SkipSpace();
                std::string key;
                if (m_Position >= m_Text.size() || m_Text[m_Position] != '"' || !ParseString(key))
                {
                    return false;
                }
                SkipSpace();
                if (m_Position >= m_Text.size() || m_Text[m_Position++] != ':')
                {
                    return false;
                }
                SkipSpace();
                value.Members.emplace_back(key, VValue{});
                if (!ParseValue(value.Members.back().second, depth + 1))
                {
                    return false;
                }
                SkipSpace();
                if (m_Position >= m_Text.size())
                {
                    return false;
                }
                if (m_Text[m_Position] == '}')
                {
                    ++m_Position;
                    return true;
                }
                if (m_Text[m_Position++] != ',')
                {
                    return false;
                }
            }
        }
        return ParseNumber(value);
    }

    bool ParseNumber(VValue& value)
    {
        const std::size_t start = m_Position;
        auto digits = [&]()
        {
            const std::size_t from = m_Position;
            while (m_Position < m_Text.size() && m_Text[m_Position] >= '0' &&
                   m_Text[m_Position] <= '9')
            {
                ++m_Position;
            }
            return m_Position > from;
        };
        if (m_Text[m_Position] == '-')
        {
            ++m_Position;
        }
        if (m_Position < m_Text.size() && m_Text[m_Position] == '0')
        {
            ++m_Position;
        }
        else if (!digits())
        {
            return false;
        }
        if (m_Position < m_Text.size() && m_Text[m_Position] == '.')
        {
            ++m_Position;
            if (!digits())
            {
                return false;
            }
        }
        if (m_Position < m_Text.size() && (m_Text[m_Position] == 'e' || m_Text[m_Position] == 'E'))
        {
            ++m_Position;
            if (m_Position < m_Text.size() &&
                (m_Text[m_Position] == '+' || m_Text[m_Position] == '-'))
            {
                ++m_Position;
            }
            if (!digits())
            {
                return false;
            }
        }
        value.Kind = VValue::Type::Number;
        value.Text = m_Text.substr(start, m_Position - start);
        value.Number = std::strtod(value.Text.c_str(), nullptr);
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t code)
    {
        if (code < 0x80)
        {
            out += static_cast<char>(code);
        }
        else if (code < 0x800)
        {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool ParseString(std::string& out)
    {
        ++m_Position; // the opening quote
        while (m_Position < m_Text.size())
        {
            const auto c = static_cast<unsigned char>(m_Text[m_Position++]);
            if (c == '"')
            {
                return true;
            }
            if (c < 0x20)
            {
                return false;
            }
            if (c != '\\')
            {
                out += static_cast<char>(c);
                continue;
            }
            if (m_Position >= m_Text.size())
            {
                return false;
            }
            const char escape = m_Text[m_Position++];
            switch (escape)
            {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u':
            {
                if (m_Position + 4 > m_Text.size())
                {
                    return false;
                }
                char* end = nullptr;
                const std::string hex = m_Text.substr(m_Position, 4);
                const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
                if (end != hex.c_str() + 4)
                {
                    return false;
                }
                m_Position += 4;
                AppendUtf8(out, static_cast<std::uint32_t>(code));
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    const std::string& m_Text;
    std::size_t m_Position = 0;
};

inline bool Parse(const std::string& text, VValue& value)
{
    return VParser(text).Parse(value);
}

} // namespace TestJson
