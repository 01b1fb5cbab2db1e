// The definition of one parameter: its prototype, attribute flags and options.
#pragma once

#include "params/IParam.h"

#include <cstdint>

/// One parameter's definition, owned by its definition list. Filled on the main
/// thread before any parameter list is created from it, then only read.
class IParamDefinition
{
public:
    /// The prototype parameter: set its value (typed set, unchecked) to give the
    /// definition a default; parameters created afterwards start from it.
    virtual const IParam& GetPrototype() const = 0;
    virtual IParam& GetPrototype() = 0;
    /// Flags applied to every parameter created from the definition.
    virtual void SetFlagA(bool flag) = 0;
    virtual void SetReadOnly(bool readOnly) = 0;
    virtual void SetFlagC(bool flag) = 0;
    virtual void SetFlagB(bool flag) = 0;
    virtual void SetPersistent(bool persistent) = 0;
    /// 0: always editable, 1: editable unless read-only, anything else: never.
    virtual void SetEditMode(int32_t mode) = 0;
    /// Whether the options form a range ("Min" and "Max") rather than a list.
    virtual void SetOptionRange(bool range) = 0;
    virtual void SetOptionMode2(bool mode) = 0;
    /// Appends an option with an empty label; see AddOption.
    virtual IParam* AddUnlabelledOption() = 0;
    /// Appends an option and returns its value parameter (a copy of the prototype,
    /// owned by the definition), whose value the caller then sets; null when a
    /// non-empty `label` exists already. Empty labels may repeat.
    virtual IParam* AddOption(const char* label) = 0;
    virtual bool IsFlagA() const = 0;
    virtual bool IsReadOnly() const = 0;
    virtual bool IsFlagC() const = 0;
    virtual bool IsFlagB() const = 0;
    virtual int32_t GetEditMode() const = 0;
    virtual ~IParamDefinition() = default;
    virtual bool IsPersistent() const = 0;
};
