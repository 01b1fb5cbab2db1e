// The object that handles a parameter on behalf of its owner.
#pragma once

class IParam;
class IParamList;

/// Set on a parameter by its owner: a parameter list's handler face, or the
/// parameter owning an option. Same threading as the parameter.
class IParamHandler
{
public:
    virtual ~IParamHandler() = default;
    /// Whether the handler marks `param` with flag B (IParam::IsFlagB reports it).
    virtual bool IsParamFlagB(const IParam& param) const = 0;
    /// The parameter list that owns the handled parameters, or null.
    virtual IParamList* GetParamList() const = 0;
};
