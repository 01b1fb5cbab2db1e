// A program outside tsm that implements a target and a target computation, registers
// them with Arbor's registries and reads them back. Exits 0 when every check holds.
#include "kinematic/ArborTypes.h"
#include "kinematic/IComputeTarget.h"
#include "kinematic/IComputeTargetFactory.h"
#include "kinematic/ITargetCalibrated.h"
#include "kinematic/ITargetFactory.h"
#include "kinematic/VComputeTargetFactory.h"
#include "kinematic/VTargetFactory.h"
#include "params/IString.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace
{
int g_Failures = 0;
int g_MarkersReleased = 0;
int g_ComputationsReleased = 0;

void Check(bool condition, const char* what)
{
    std::printf("%s: %s\n", condition ? "ok" : "FAILED", what);
    if (!condition)
        ++g_Failures;
}

/// A marker whose id is looked up in the target table by its name.
class VMarker : public ITargetCalibrated
{
public:
    VMarker(std::string name, std::string segment, double radius)
        : m_Name(std::move(name)), m_Segment(std::move(segment)), m_Radius(radius)
    {
    }

    double Radius() const override { return m_Radius; }
    void Destroy() override
    {
        ++g_MarkersReleased;
        delete this;
    }
    void Name(IString& name) const override { name.Assign(m_Name.c_str()); }
    void SegmentName(IString& segment) const override { segment.Assign(m_Segment.c_str()); }
    std::uint32_t TargetId() const override
    {
        return VTargetFactory::Factory().Find(m_Name.c_str());
    }
    bool LocalPosition(double position[Arbor::PositionSize]) const override
    {
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            position[i] = 0.0;
        return true;
    }
    bool SetLocalPosition(const double[Arbor::PositionSize]) override { return false; }
    bool Position(double position[Arbor::PositionSize]) const override
    {
        if (m_Occluded)
            return false;
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            position[i] = m_Position[i];
        return true;
    }
    bool SetPosition(const double position[Arbor::PositionSize]) override
    {
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            m_Position[i] = position[i];
        m_Occluded = false;
        return true;
    }
    void SetOccluded() override { m_Occluded = true; }
    bool IsOccluded() const override { return m_Occluded; }
    void SetRadius(double radius) override { m_Radius = radius; }

private:
    ~VMarker() override = default;

    std::string m_Name;
    std::string m_Segment;
    double m_Radius;
    double m_Position[Arbor::PositionSize] = {};
    bool m_Occluded = true;
};

/// A virtual marker midway between two others; its companion is the marker it
/// computes, which it owns.
class VMidpoint : public IComputeTarget
{
public:
    explicit VMidpoint(const char* name) : m_Companion(new VMarker(name, "Virtual", 0.0)) {}
    ~VMidpoint() override { m_Companion->Destroy(); }

    std::uint32_t InputCount() const override { return 2; }
    bool Compute(ITargetCalibrated& target) override
    {
        if (!m_HasInput[0] || !m_HasInput[1])
            return false;
        double midpoint[Arbor::PositionSize];
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            midpoint[i] = (m_Inputs[0][i] + m_Inputs[1][i]) / 2.0;
        return target.SetPosition(midpoint);
    }
    bool InputName(std::uint32_t index, IString& name) const override
    {
        if (index >= 2)
            return false;
        name.Assign(index == 0 ? "LKNE" : "LKNM");
        return true;
    }
    std::uint32_t InputId(std::uint32_t index) const override
    {
        VStringStd name;
        return InputName(index, name) ? VTargetFactory::Factory().Find(name.CStr()) : Arbor::NoId;
    }
    bool SetInputId(std::uint32_t, std::uint32_t) override { return false; }
    ITargetCalibrated* Target() const override { return m_Companion; }
    void Name(IString& name) const override { name.Assign("Midpoint"); }
    bool SetInputPosition(std::uint32_t index, const double position[Arbor::PositionSize]) override
    {
        if (index >= 2)
            return false;
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            m_Inputs[index][i] = position[i];
        m_HasInput[index] = true;
        return true;
    }
    bool InputPosition(std::uint32_t index, double position[Arbor::PositionSize]) const override
    {
        if (index >= 2 || !m_HasInput[index])
            return false;
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            position[i] = m_Inputs[index][i];
        return true;
    }
    void ClearInputs() override { m_HasInput[0] = m_HasInput[1] = false; }
    bool IsComputable() const override { return m_HasInput[0] && m_HasInput[1]; }
    std::uint32_t ParameterCount() const override { return 0; }
    bool ParameterName(std::uint32_t, IString&) const override { return false; }
    bool Parameter(std::uint32_t, double&) const override { return false; }
    bool SetParameter(std::uint32_t, double) override { return false; }
    bool Result(double position[Arbor::PositionSize]) const override
    {
        return m_Companion->Position(position);
    }
    double Confidence() const override { return IsComputable() ? 1.0 : 0.0; }
    bool SetSegmentPose(const double[Arbor::PoseSize]) override { return false; }
    bool SegmentPose(double[Arbor::PoseSize]) const override { return false; }
    void Reset() override { ClearInputs(); }
    std::uint32_t SegmentId() const override { return Arbor::NoId; }
    void Destroy() override
    {
        ++g_ComputationsReleased;
        delete this;
    }

private:
    ITargetCalibrated* m_Companion;
    double m_Inputs[2][Arbor::PositionSize] = {};
    bool m_HasInput[2] = {false, false};
};
} // namespace

int main()
{
    ITargetFactory& table = VTargetFactory::Factory();
    IComputeTargetFactory& registry = VComputeTargetFactory::Factory();

    // Two real markers and the virtual one, in the target table.
    const std::uint32_t knee =
        table.Add("LKNE", VStringStd("LeftThigh"), VStringStd("lateral knee"),
                  new VMarker("LKNE", "LeftThigh", 7.0));
    table.Add("LKNM", VStringStd("LeftThigh"), VStringStd("medial knee"),
              new VMarker("LKNM", "LeftThigh", 7.0));
    const std::uint32_t centre =
        table.Add("LKJC", VStringStd("LeftThigh"), VStringStd("knee joint centre"), nullptr);
    Check(knee == 0 && centre == 2 && table.Count() == 3, "targets added in order");

    VStringStd text;
    Check(table.Name(1, text) && text.Str() == "LKNM", "name read back by id");
    Check(table.SegmentByName("LKNE", text) && text.Str() == "LeftThigh",
          "segment read back by name");
    Check(table.Description(centre, text) && text.Str() == "knee joint centre",
          "description read back by id");
    Check(table.RadiusByName("LKNE") == 7.0, "the table asks the target for its radius");
    Check(!table.Name(table.Count(), text), "an id equal to the count is out of range");

    // The computation of the virtual marker, keyed by the table's id for "LKJC".
    auto* midpoint = new VMidpoint("LKJC");
    const double lateral[Arbor::PositionSize] = {100.0, 0.0, 500.0};
    const double medial[Arbor::PositionSize] = {0.0, 20.0, 500.0};
    midpoint->SetInputPosition(0, lateral);
    midpoint->SetInputPosition(1, medial);
    Check(registry.Register(midpoint), "computation registered");
    Check(registry.IsRegistered("LKJC"), "registered by name");
    Check(!registry.IsRegistered("LKNE"), "other targets have no computation");
    Check(registry.InputCountByName("LKJC") == 2 && registry.InputCount(centre) == 2,
          "input count read back by name and id");

    double position[Arbor::PositionSize] = {};
    ITargetCalibrated* virtualMarker = midpoint->Target();
    Check(registry.ComputeTarget(*virtualMarker) && virtualMarker->Position(position) &&
              position[0] == 50.0 && position[1] == 10.0 && position[2] == 500.0,
          "the registry runs the computation");

    // Unregistering releases the computation through its own Destroy, and with it the
    // companion marker it owns.
    Check(registry.Unregister("LKJC") && g_ComputationsReleased == 1 && g_MarkersReleased == 1,
          "computation unregistered and released");
    Check(registry.InputCount(centre) == 0, "nothing left under the id");

    // Removing a marker moves the later ids down and releases the marker.
    Check(table.Remove("LKNE") && g_MarkersReleased == 2, "marker removed and released");
    Check(table.Find("LKJC") == 1, "later ids moved down by one");
    table.Remove("LKNM");
    table.Remove("LKJC");
    Check(table.Count() == 0 && g_MarkersReleased == 3, "every marker released");

    std::printf("%s\n", g_Failures == 0 ? "all checks passed" : "some checks failed");
    return g_Failures == 0 ? 0 : 1;
}
