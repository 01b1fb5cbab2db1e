// The read-only view of the owning device's parameters through which a data source reads the
// settings of each frame, and an adapter over any device with typed getters by key.
#pragma once

#include <cstdint>
#include <string>

/// Reads the current value of a parameter of the device that owns a source, by its exact,
/// case-sensitive key. The sources read every setting afresh at each frame ("Threshold",
/// "GreyMode", "CentroidsX", ...), so a parameter change shows in the next frame.
///
/// Threading contract: ReadParam is called on the frame thread (a master's sync thread)
/// while the owner holds its data lock; an implementation must be safe there and must not
/// call back into the source. The device's typed getters (which read the property-set
/// mirror under its own mutex) qualify. The object must outlive every source that reads it.
class IFakeSourceParams
{
public:
    virtual ~IFakeSourceParams() = default;

    /// The value of `key` converted to the type of `out`. False, with `out` untouched, when
    /// the key is unknown or its value does not convert.
    virtual bool ReadParam(const char* key, bool& out) const = 0;
    virtual bool ReadParam(const char* key, std::int32_t& out) const = 0;
    virtual bool ReadParam(const char* key, std::uint32_t& out) const = 0;
    virtual bool ReadParam(const char* key, double& out) const = 0;
    virtual bool ReadParam(const char* key, std::string& out) const = 0;

    /// The value of `key`, or `fallback` when it cannot be read.
    template <class T> T ReadParamOr(const char* key, T fallback) const
    {
        T value = fallback;
        return ReadParam(key, value) ? value : fallback;
    }
};

/// Forwards to the typed getters `bool GetParam(const char* key, T& out) const` of a device
/// (VFakeDevice and its cameras have them). A camera variant keeps one as a member, declared
/// before its sources, and hands it to the sources it creates:
///   TDeviceParamReader<VFakeDevice> m_SourceParams{*this};
/// Holds a reference: the device must outlive the reader. Thread safety is the getters'.
template <class TDevice> class TDeviceParamReader final : public IFakeSourceParams
{
public:
    explicit TDeviceParamReader(const TDevice& device) : m_Device(device) {}
    TDeviceParamReader(const TDeviceParamReader&) = delete;
    TDeviceParamReader& operator=(const TDeviceParamReader&) = delete;

    bool ReadParam(const char* key, bool& out) const override
    {
        return m_Device.GetParam(key, out);
    }
    bool ReadParam(const char* key, std::int32_t& out) const override
    {
        return m_Device.GetParam(key, out);
    }
    bool ReadParam(const char* key, std::uint32_t& out) const override
    {
        return m_Device.GetParam(key, out);
    }
    bool ReadParam(const char* key, double& out) const override
    {
        return m_Device.GetParam(key, out);
    }
    bool ReadParam(const char* key, std::string& out) const override
    {
        return m_Device.GetParam(key, out);
    }

private:
    const TDevice& m_Device;
};
