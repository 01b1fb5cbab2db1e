#include "params/VParamDefinition.h"

#include <memory>

VParamDefinition::VParamDefinition(const char* key, const char* displayName,
                                   const char* description, const char* group,
                                   const IParamObject& prototypeValue,
                                   const ISemanticType& semanticType, int32_t listValue)
    : m_Key(key), m_DisplayName(displayName), m_Description(description), m_Group(group),
      m_SemanticType(semanticType.Clone()), m_Prototype(*this, prototypeValue, *m_SemanticType),
      m_ListValue(listValue)
{
}

VParamDefinition::~VParamDefinition()
{
    // Option parameters point at this definition; release them before the texts.
    m_Options.clear();
}

IParam* VParamDefinition::AddOption(const char* label)
{
    const std::string text = label != nullptr ? label : "";
    if (!text.empty())
    {
        for (const VParamOption& option : m_Options)
        {
            if (option.m_Label.Str() == text)
            {
                return nullptr;
            }
        }
    }
    auto param = std::make_unique<VParam>(m_Prototype);
    param->SetHandler(nullptr);
    IParam* added = param.get();
    m_Options.push_back(VParamOption{VStringStd(text), std::move(param)});
    return added;
}
