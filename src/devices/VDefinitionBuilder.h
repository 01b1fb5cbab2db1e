// Filling a device class's definition list: typed definitions with defaults and flags, their
// options, and one check that everything could be added.
#pragma once

#include "params/IParamDefinition.h"
#include "params/IParamDefinitionList.h"
#include "params/ParamAccess.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

/// The four texts of one definition; static texts or texts that outlive the Add call.
struct VDefinitionTexts
{
    const char* m_Key;
    const char* m_DisplayName;
    const char* m_Description;
    const char* m_Group;
};

/// The flags a device class puts on its definitions.
enum EMark : unsigned
{
    MarkNone = 0,
    MarkFlagA = 1u << 0,
    MarkReadOnly = 1u << 1,
    MarkFlagB = 1u << 2,
};

/// Adds definitions and options to one list and remembers whether every one could be added
/// (a duplicate key, a list already in use, or an option of the wrong type fails).
/// Threading: as the list (main thread, at start-up). Not copyable (holds the list).
class VDefinitionBuilder
{
public:
    explicit VDefinitionBuilder(IParamDefinitionList& list) : m_List(list) {}
    VDefinitionBuilder(const VDefinitionBuilder&) = delete;
    VDefinitionBuilder& operator=(const VDefinitionBuilder&) = delete;

    /// Appends a definition of T starting from `defaultValue`, with the flags of `marks`.
    /// Null when it could not be added.
    template <class T>
    IParamDefinition* Add(const VDefinitionTexts& texts, const T& defaultValue,
                          unsigned marks = MarkNone)
    {
        IParamDefinition* definition =
            AddTypedDefinition<T>(m_List, texts.m_Key, texts.m_DisplayName, texts.m_Description,
                                  texts.m_Group, defaultValue);
        if (definition == nullptr)
        {
            m_Complete = false;
            return nullptr;
        }
        if ((marks & MarkFlagA) != 0)
            definition->SetFlagA(true);
        if ((marks & MarkReadOnly) != 0)
            definition->SetReadOnly(true);
        if ((marks & MarkFlagB) != 0)
            definition->SetFlagB(true);
        return definition;
    }

    template <class T>
    void AddOption(IParamDefinition* definition, const char* label, const T& value)
    {
        if (definition == nullptr || AddOptionValue<T>(*definition, label, value) == nullptr)
            m_Complete = false;
    }

    /// Options labelled "Min" and "Max", then the range flag.
    void AddRange(IParamDefinition* definition, int32_t minimum, int32_t maximum)
    {
        AddOption<int32_t>(definition, "Min", minimum);
        AddOption<int32_t>(definition, "Max", maximum);
        if (definition != nullptr)
            definition->SetOptionRange(true);
    }

    /// Text options whose label and stored value are equal.
    void AddTextOptions(IParamDefinition* definition, std::initializer_list<const char*> labels)
    {
        for (const char* label : labels)
            AddOption<std::string>(definition, label, label);
    }

    /// Text options given as label and stored value.
    void AddTextOptions(IParamDefinition* definition,
                        std::initializer_list<std::pair<const char*, const char*>> options)
    {
        for (const auto& [label, value] : options)
            AddOption<std::string>(definition, label, value);
    }

    void Fail() { m_Complete = false; }
    bool IsComplete() const { return m_Complete; }

private:
    IParamDefinitionList& m_List;
    bool m_Complete = true;
};
