#include "tsmtrial/VJsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace
{

/// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one
/// (overlong forms, surrogates and values above U+10FFFF count as invalid).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        length = 2;
        code = lead & 0x1Fu;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        code = lead & 0x0Fu;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        code = lead & 0x07u;
    }
    else
    {
        return 0;
    }
    if (i + length > text.size())
    {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k)
    {
        if ((byte(i + k) & 0xC0u) != 0x80u)
        {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF)
    {
        return 0;
    }
    return length;
}

void AppendEscape(std::string& out, unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof(buffer), "\\u%04x", value);
    out += buffer;
}

} // namespace

std::string VJsonWriter::Quote(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < text.size())
    {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20 || c == 0x7F)
            {
                AppendEscape(out, c);
            }
            else if (c < 0x80)
            {
                out += static_cast<char>(c);
            }
            else if (const std::size_t length = Utf8SequenceLength(text, i); length != 0)
            {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
            else
            {
                AppendEscape(out, c); // a stray byte, read as Latin-1
            }
            break;
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string VJsonWriter::FormatNumber(double value)
{
    if (!std::isfinite(value))
    {
        return "null";
    }
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

std::string VJsonWriter::FormatNumber(float value)
{
    if (!std::isfinite(value))
    {
        return "null";
    }
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

bool VJsonWriter::BeforeValue()
{
    if (m_Stack.empty())
    {
        if (m_HasRoot)
        {
            m_Misused = true; // a second top-level value
            return false;
        }
        m_HasRoot = true;
        return true;
    }
    VLevel& level = m_Stack.back();
    if (level.Kind == Container::Object)
    {
        if (!level.KeyPending)
        {
            m_Misused = true; // an object member without a key
            return false;
        }
        level.KeyPending = false;
        return true;
    }
    if (level.HasMembers)
    {
        m_Text += ',';
    }
    level.HasMembers = true;
    NewLine(m_Stack.size());
    return true;
}

void VJsonWriter::NewLine(std::size_t depth)
{
    if (m_Indent <= 0)
    {
        return;
    }
    if (!m_Stack.empty() && m_Stack.back().Inline)
    {
        if (m_Stack.back().HasMembers && m_Text.back() == ',')
        {
            m_Text += ' ';
        }
        return;
    }
    m_Text += '\n';
    m_Text.append(depth * static_cast<std::size_t>(m_Indent), ' ');
}

VJsonWriter& VJsonWriter::Raw(std::string_view text)
{
    if (BeforeValue())
    {
        m_Text.append(text);
    }
    return *this;
}

void VJsonWriter::Open(Container kind, char opener, Layout layout)
{
    if (BeforeValue())
    {
        const bool inside = !m_Stack.empty() && m_Stack.back().Inline;
        m_Text += opener;
        m_Stack.push_back({kind, inside || layout == Layout::Inline});
    }
}

VJsonWriter& VJsonWriter::BeginObject(Layout layout)
{
    Open(Container::Object, '{', layout);
    return *this;
}

VJsonWriter& VJsonWriter::BeginArray(Layout layout)
{
    Open(Container::Array, '[', layout);
    return *this;
}

VJsonWriter& VJsonWriter::Close(Container kind, char closer)
{
    if (m_Stack.empty() || m_Stack.back().Kind != kind || m_Stack.back().KeyPending)
    {
        m_Misused = true;
        return *this;
    }
    const bool hadMembers = m_Stack.back().HasMembers;
    const bool wasInline = m_Stack.back().Inline;
    m_Stack.pop_back();
    if (hadMembers && !wasInline)
    {
        NewLine(m_Stack.size());
    }
    m_Text += closer;
    return *this;
}

VJsonWriter& VJsonWriter::EndObject()
{
    return Close(Container::Object, '}');
}

VJsonWriter& VJsonWriter::EndArray()
{
    return Close(Container::Array, ']');
}

VJsonWriter& VJsonWriter::Key(std::string_view key)
{
    if (m_Stack.empty() || m_Stack.back().Kind != Container::Object || m_Stack.back().KeyPending)
    {
        m_Misused = true;
        return *this;
    }
    VLevel& level = m_Stack.back();
    if (level.HasMembers)
    {
        m_Text += ',';
    }
    level.HasMembers = true;
    level.KeyPending = true;
    NewLine(m_Stack.size());
    m_Text += Quote(key);
    m_Text += m_Indent > 0 ? ": " : ":";
    return *this;
}

VJsonWriter& VJsonWriter::String(std::string_view text)
{
    return Raw(Quote(text));
}

VJsonWriter& VJsonWriter::Number(double value)
{
    return Raw(FormatNumber(value));
}

VJsonWriter& VJsonWriter::Number(float value)
{
    return Raw(FormatNumber(value));
}

VJsonWriter& VJsonWriter::Integer(std::int64_t value)
{
    return Raw(std::to_string(value));
}

VJsonWriter& VJsonWriter::Unsigned(std::uint64_t value)
{
    return Raw(std::to_string(value));
}

VJsonWriter& VJsonWriter::Bool(bool value)
{
    return Raw(value ? "true" : "false");
}

VJsonWriter& VJsonWriter::Null()
{
    return Raw("null");
}
