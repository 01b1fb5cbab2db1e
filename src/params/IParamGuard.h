// The guard that may veto a parameter's changes.
#pragma once

class IParam;

/// May veto changes of the parameters it guards. Asked at the end of the outermost
/// change, on the changing thread, before any observer is told; the parameter then
/// already holds its new state. A change made to the same parameter from inside a
/// permission call is nested in the change being asked about.
class IParamGuard
{
public:
    /// False vetoes the value change: the parameter returns to its old value.
    virtual bool AllowValueChange(IParam& param) = 0;
    /// False vetoes the attribute change (`mask`: ParamAttributes bits).
    virtual bool AllowAttributeChange(IParam& param, unsigned mask) = 0;
    virtual ~IParamGuard() = default;
};
