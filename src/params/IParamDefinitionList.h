// The definition list of a parameterised class: its definitions, in order, and the
// parameter lists created from it.
#pragma once

#include "params/IParamDefinition.h"
#include "params/IParamObject.h"
#include "params/ISemanticType.h"
#include "params/IString.h"

class IParamDefinitionList;
class IParamList;

/// Told when parameter lists are created from a definition list or destroyed.
/// Main thread. All callbacks do nothing by default.
class IParamDefinitionListObserver
{
public:
    virtual void OnAttached(const IParamDefinitionList& definitions) { (void)definitions; }
    virtual void OnDetached(const IParamDefinitionList& definitions) { (void)definitions; }
    virtual void OnParamListCreated(const IParamDefinitionList& definitions, IParamList& list)
    {
        (void)definitions;
        (void)list;
    }
    virtual void OnParamListDestroyed(const IParamDefinitionList& definitions, IParamList& list)
    {
        (void)definitions;
        (void)list;
    }
    virtual ~IParamDefinitionListObserver() = default;
};

/// The named, ordered definitions of one parameterised class. Filled once on the
/// main thread, before the first parameter list is created; then only read.
class IParamDefinitionList
{
public:
    /// AddDefinitionWithType with the null semantic type.
    virtual IParamDefinition* AddDefinition(const char* key, const char* displayName,
                                            const char* description, const char* group,
                                            const IParamObject& prototypeValue) = 0;
    /// Appends a definition (cloning the prototype value and semantic type) and
    /// returns it (owned by the list). Null, with nothing changed, when the key is
    /// null or empty, when a definition with the same key exists, or when a parameter
    /// list has already been created from this list.
    virtual IParamDefinition* AddDefinitionWithType(const char* key, const char* displayName,
                                                    const char* description, const char* group,
                                                    const IParamObject& prototypeValue,
                                                    const ISemanticType& semanticType) = 0;
    virtual unsigned GetDefinitionCount() const = 0;
    /// The key of the definition at `index`, or null when out of range.
    virtual const char* GetDefinitionKey(unsigned index) const = 0;
    /// The definition with exactly this key, or null.
    virtual const IParamDefinition* FindDefinition(const char* key) const = 0;
    /// A new parameter list with one parameter per definition, owned by the caller
    /// (release with Destroy before this definition list is destroyed).
    virtual IParamList* CreateParamList() = 0;
    /// The list's name, a blank and its fourth text.
    virtual void GetQualifiedName(IString& out) const = 0;
    /// With `deliverNow`, the new observer is told OnParamListCreated for every live
    /// list at once. False for null or a duplicate.
    virtual bool AddObserver(IParamDefinitionListObserver* observer, bool deliverNow) = 0;
    virtual bool RemoveObserver(IParamDefinitionListObserver* observer) = 0;
    virtual ~IParamDefinitionList() = default;
};
