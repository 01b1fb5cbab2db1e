// Observers of single parameters.
#pragma once

class IParam;

/// Told about one parameter's life and changes. Every callback runs synchronously
/// on the thread that made the change (the main thread in this system), after the
/// change is complete. Callbacks may add or remove observers, themselves included.
/// All callbacks do nothing by default.
class IParamObserver
{
public:
    /// The observer was added to `param`.
    virtual void OnAttached(const IParam& param) { (void)param; }
    /// The observer was removed from `param`, or `param` is being destroyed.
    virtual void OnDetached(const IParam& param) { (void)param; }
    /// `param`'s value or validity changed.
    virtual void OnValueChanged(const IParam& param) { (void)param; }
    /// `param`'s attributes changed; `mask` holds ParamAttributes bits (63 = all).
    virtual void OnAttributesChanged(const IParam& param, unsigned mask)
    {
        (void)param;
        (void)mask;
    }
    virtual ~IParamObserver() = default;
};
