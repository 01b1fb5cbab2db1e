// Typed access to parameters: the typed set and typed get used throughout the
// devices, and helpers that build definitions with defaults and options.
//
// Supported value types T and the value objects behind them:
//   bool        -> VParamBool        int32_t  -> VParamInt32
//   uint32_t    -> VParamUInt32      double   -> VParamDouble
//   VStringStd, IString, std::string (and const char* for setting) -> VParamString
// Any other T does not compile. The type must match the parameter's exactly: an int
// literal is int32_t, so spell the type for unsigned and real parameters
// (SetParamValue<uint32_t>(...), SetParamValue(list, "Rate", 50.0, false)). A
// mismatch is not converted: the set or get fails and nothing changes.
//
// Threading: as IParam (the owner's thread, the main thread for devices).
#pragma once

#include "params/IParamDefinitionList.h"
#include "params/IParamList.h"
#include "params/VParamObject.h"

#include <cstdint>
#include <string>

/// Maps a value type to its value object and the typed face used to reach it.
template <class T> struct TParamValueTraits;

template <class T, class TObject> struct TParamValueTraitsDirect
{
    using Object = TObject;
    using Face = ITypedParamObject<T>;
    static void Put(Face& face, const T& value) { face.Set(value); }
    static void Take(const Face& face, T& out) { face.Get(out); }
};

template <> struct TParamValueTraits<bool> : TParamValueTraitsDirect<bool, VParamBool>
{
};
template <> struct TParamValueTraits<int32_t> : TParamValueTraitsDirect<int32_t, VParamInt32>
{
};
template <> struct TParamValueTraits<uint32_t> : TParamValueTraitsDirect<uint32_t, VParamUInt32>
{
};
template <> struct TParamValueTraits<double> : TParamValueTraitsDirect<double, VParamDouble>
{
};
template <> struct TParamValueTraits<VStringStd> : TParamValueTraitsDirect<VStringStd, VParamString>
{
};
template <> struct TParamValueTraits<IString> : TParamValueTraitsDirect<IString, VParamString>
{
};
template <> struct TParamValueTraits<std::string>
{
    using Object = VParamString;
    using Face = ITypedParamObject<IString>;
    static void Put(Face& face, const std::string& value)
    {
        face.Set(VStringStdAdapterConst(value));
    }
    static void Take(const Face& face, std::string& out)
    {
        VStringStdAdapter adapter(out);
        face.Get(adapter);
    }
};

/// The typed set: clones `param`'s value object, sets the clone to `value` through its
/// typed face and hands it to IParam::SetValue(clone, checked), which runs the change
/// (guard, observers) before returning. True when the value was set or already held;
/// false when `param` holds another type, or the change was refused (read-only with
/// `checked`, or a guard veto), with nothing changed.
template <class T> bool SetParamValue(IParam& param, const T& value, bool checked)
{
    using Traits = TParamValueTraits<T>;
    TDestroyPtr<IParamObject> clone(param.GetValue()->Clone());
    auto* face = dynamic_cast<typename Traits::Face*>(clone.get());
    if (face == nullptr)
    {
        return false;
    }
    Traits::Put(*face, value);
    return param.SetValue(*clone, checked);
}

/// The typed set of a text parameter from a C string (null counts as empty).
inline bool SetParamValue(IParam& param, const char* text, bool checked)
{
    return SetParamValue<std::string>(param, std::string(text != nullptr ? text : ""), checked);
}

/// The typed set of the parameter with exactly this key; false when there is none.
template <class T>
bool SetParamValue(IParamList& list, const char* key, const T& value, bool checked)
{
    IParam* param = list.GetParam(key);
    return param != nullptr && SetParamValue<T>(*param, value, checked);
}

inline bool SetParamValue(IParamList& list, const char* key, const char* text, bool checked)
{
    IParam* param = list.GetParam(key);
    return param != nullptr && SetParamValue(*param, text, checked);
}

/// The typed get: reads `param`'s value object, valid or not (an invalid parameter
/// holds its prototype's value), through its typed face. False, with `out`
/// untouched, when `param` holds another type. Use GetValidParamValue to also
/// require a valid value.
template <class T> bool GetParamValue(const IParam& param, T& out)
{
    using Traits = TParamValueTraits<T>;
    const auto* face = dynamic_cast<const typename Traits::Face*>(param.GetValue());
    if (face == nullptr)
    {
        return false;
    }
    Traits::Take(*face, out);
    return true;
}

/// As GetParamValue, but also false when the value is invalid.
template <class T> bool GetValidParamValue(const IParam& param, T& out)
{
    return param.IsValid() && GetParamValue<T>(param, out);
}

/// The typed get of the parameter with exactly this key; false when there is none.
template <class T> bool GetParamValue(const IParamList& list, const char* key, T& out)
{
    const IParam* param = list.GetParam(key);
    return param != nullptr && GetParamValue<T>(*param, out);
}

template <class T> bool GetValidParamValue(const IParamList& list, const char* key, T& out)
{
    const IParam* param = list.GetParam(key);
    return param != nullptr && GetValidParamValue<T>(*param, out);
}

/// The valid value of the parameter with this key, or `fallback` when it is absent,
/// invalid or of another type.
template <class T> T GetParamValueOr(const IParamList& list, const char* key, T fallback)
{
    T value = fallback;
    return GetValidParamValue<T>(list, key, value) ? value : fallback;
}

/// Appends a definition whose parameters hold a T, without default (parameters stay
/// invalid until set). Null as IParamDefinitionList::AddDefinition.
template <class T>
IParamDefinition* AddTypedDefinition(IParamDefinitionList& list, const char* key,
                                     const char* displayName, const char* description,
                                     const char* group)
{
    return list.AddDefinition(key, displayName, description, group,
                              typename TParamValueTraits<T>::Object());
}

/// Sets a definition's default: parameters created afterwards start from it, valid.
template <class T> bool SetDefaultValue(IParamDefinition& definition, const T& value)
{
    return SetParamValue<T>(definition.GetPrototype(), value, false);
}

/// Appends a definition whose parameters hold a T and start from `defaultValue`.
template <class T>
IParamDefinition* AddTypedDefinition(IParamDefinitionList& list, const char* key,
                                     const char* displayName, const char* description,
                                     const char* group, const T& defaultValue)
{
    IParamDefinition* definition =
        AddTypedDefinition<T>(list, key, displayName, description, group);
    if (definition != nullptr)
    {
        SetDefaultValue<T>(*definition, defaultValue);
    }
    return definition;
}

/// Appends an option with this label ("" for an unlabelled one) and value; returns
/// the option's parameter, or null (nothing added) when a non-empty label exists
/// already or the definition's parameters hold another type.
template <class T>
IParam* AddOptionValue(IParamDefinition& definition, const char* label, const T& value)
{
    using Face = typename TParamValueTraits<T>::Face;
    if (dynamic_cast<const Face*>(definition.GetPrototype().GetValue()) == nullptr)
    {
        return nullptr;
    }
    IParam* option = definition.AddOption(label);
    if (option != nullptr)
    {
        SetParamValue<T>(*option, value, false);
    }
    return option;
}
