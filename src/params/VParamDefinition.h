// The parameter definition: key, texts, prototype, flags and options.
#pragma once

#include "params/IParamDefinition.h"
#include "params/VParam.h"

#include <vector>

/// A parameter definition, created and owned by a VParamDefinitionList. Its texts,
/// flags and options are copied into each parameter created from it, and those
/// parameters keep a pointer to it for their key and texts, so it must outlive them.
/// Main thread only; not copyable.
class VParamDefinition final : public IParamDefinition
{
public:
    /// Texts are copied (null counts as empty); the prototype holds a clone of
    /// `prototypeValue`, invalid until a default is set; `semanticType` is cloned.
    VParamDefinition(const char* key, const char* displayName, const char* description,
                     const char* group, const IParamObject& prototypeValue,
                     const ISemanticType& semanticType, int32_t listValue);
    VParamDefinition(const VParamDefinition&) = delete;
    VParamDefinition& operator=(const VParamDefinition&) = delete;
    ~VParamDefinition() override;

    const IParam& GetPrototype() const override { return m_Prototype; }
    IParam& GetPrototype() override { return m_Prototype; }
    void SetFlagA(bool flag) override { m_FlagA = flag; }
    void SetReadOnly(bool readOnly) override { m_ReadOnly = readOnly; }
    void SetFlagC(bool flag) override { m_FlagC = flag; }
    void SetFlagB(bool flag) override { m_FlagB = flag; }
    void SetPersistent(bool persistent) override { m_Persistent = persistent; }
    void SetEditMode(int32_t mode) override { m_EditMode = mode; }
    void SetOptionRange(bool range) override { m_OptionRange = range; }
    void SetOptionMode2(bool mode) override { m_OptionMode2 = mode; }
    IParam* AddUnlabelledOption() override { return AddOption(""); }
    IParam* AddOption(const char* label) override;
    bool IsFlagA() const override { return m_FlagA; }
    bool IsReadOnly() const override { return m_ReadOnly; }
    bool IsFlagC() const override { return m_FlagC; }
    bool IsFlagB() const override { return m_FlagB; }
    int32_t GetEditMode() const override { return m_EditMode; }
    bool IsPersistent() const override { return m_Persistent; }

    const char* GetKey() const { return m_Key.CStr(); }
    const char* GetDisplayName() const { return m_DisplayName.CStr(); }
    const char* GetDescription() const { return m_Description.CStr(); }
    const char* GetGroup() const { return m_Group.CStr(); }
    const ISemanticType& GetSemanticType() const { return *m_SemanticType; }
    const VParam& GetPrototypeParam() const { return m_Prototype; }
    /// The options in the order they were added.
    const std::vector<VParamOption>& GetOptions() const { return m_Options; }
    bool IsOptionRange() const { return m_OptionRange; }
    bool IsOptionMode2() const { return m_OptionMode2; }
    /// The first integer of the definition list this definition belongs to.
    int32_t GetListValue() const { return m_ListValue; }

private:
    VStringStd m_Key;
    VStringStd m_DisplayName;
    VStringStd m_Description;
    VStringStd m_Group;
    TDestroyPtr<ISemanticType> m_SemanticType;
    VParam m_Prototype;
    bool m_FlagA = false;
    bool m_ReadOnly = false;
    bool m_FlagB = false;
    bool m_FlagC = false;
    bool m_Persistent = false;
    int32_t m_EditMode = 0;
    std::vector<VParamOption> m_Options;
    bool m_OptionRange = false;
    bool m_OptionMode2 = false;
    int32_t m_ListValue = 0;
};
