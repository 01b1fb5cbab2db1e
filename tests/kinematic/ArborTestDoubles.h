// Test implementations of the Arbor interfaces that programs implement: a target and a
// target computation, both counting their releases.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/IComputeTarget.h"
#include "kinematic/ITargetCalibrated.h"
#include "kinematic/ITargetFactory.h"
#include "kinematic/VTargetFactory.h"
#include "params/IString.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <utility>
#include <atomic>
#include <cstdint>
#include <functional>

namespace ArborTest
{
/// A target with a fixed id and radius. Destroy() counts into `released` and deletes.
/// Hooks, when set, run inside Radius() and Destroy() so that tests can call back into
/// the registries from there.
class VTestTarget final : public ITargetCalibrated
{
public:
    VTestTarget(std::atomic<int>* released, std::uint32_t targetId = Arbor::NoId,
                double radius = 0.0)
        : m_Released(released), m_TargetId(targetId), m_Radius(radius)
    {
    }

    std::function<void()> m_OnRadius;
    std::function<void()> m_OnDestroy;

    double Radius() const override
    {
        if (m_OnRadius)
            m_OnRadius();
        return m_Radius;
    }
    void Destroy() override
    {
        if (m_OnDestroy)
            m_OnDestroy();
        if (m_Released != nullptr)
            m_Released->fetch_add(1);
        delete this;
    }
    void Name(IString& name) const override { name.Assign("test"); }
    void SegmentName(IString& segment) const override { segment.Assign("segment"); }
    std::uint32_t TargetId() const override { return m_TargetId; }
    bool LocalPosition(double position[Arbor::PositionSize]) const override
    {
        return Copy(m_Local, position);
    }
    bool SetLocalPosition(const double position[Arbor::PositionSize]) override
    {
        Store(position, m_Local);
        return true;
    }
    bool Position(double position[Arbor::PositionSize]) const override
    {
        return !m_Occluded && Copy(m_Position, position);
    }
    bool SetPosition(const double position[Arbor::PositionSize]) override
    {
        Store(position, m_Position);
        m_Occluded = false;
        return true;
    }
    void SetOccluded() override { m_Occluded = true; }
    bool IsOccluded() const override { return m_Occluded; }
    void SetRadius(double radius) override { m_Radius = radius; }

private:
    ~VTestTarget() override = default;

    static bool Copy(const std::array<double, 3>& from, double* to)
    {
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            to[i] = from[i];
        return true;
    }
    static void Store(const double* from, std::array<double, 3>& to)
    {
        for (unsigned int i = 0; i < Arbor::PositionSize; ++i)
            to[i] = from[i];
    }

    std::atomic<int>* m_Released;
    std::uint32_t m_TargetId;
    double m_Radius;
    std::array<double, 3> m_Local{};
    std::array<double, 3> m_Position{};
    bool m_Occluded = true;
};

/// A computation that owns its companion target (id `targetId`, or none when
/// `withCompanion` is false). Compute() places the target at the midpoint of (0,0,0)
/// and (2,4,6). Destroy() counts into `released`.
class VTestComputeTarget final : public IComputeTarget
{
public:
    VTestComputeTarget(std::atomic<int>* released, std::uint32_t targetId,
                       std::uint32_t inputCount = 2, bool withCompanion = true)
        : m_Released(released), m_InputCount(inputCount),
          m_Companion(withCompanion ? new VTestTarget(nullptr, targetId) : nullptr)
    {
    }
    ~VTestComputeTarget() override
    {
        if (m_Companion != nullptr)
            m_Companion->Destroy();
    }

    std::function<void()> m_OnInputCount;

    std::uint32_t InputCount() const override
    {
        if (m_OnInputCount)
            m_OnInputCount();
        return m_InputCount;
    }
    bool Compute(ITargetCalibrated& target) override
    {
        const double midpoint[Arbor::PositionSize] = {1.0, 2.0, 3.0};
        return target.SetPosition(midpoint);
    }
    bool InputName(std::uint32_t index, IString& name) const override
    {
        if (index >= m_InputCount)
            return false;
        name.Assign(index == 0 ? "origin" : "far");
        return true;
    }
    std::uint32_t InputId(std::uint32_t) const override { return Arbor::NoId; }
    bool SetInputId(std::uint32_t index, std::uint32_t) override { return index < m_InputCount; }
    ITargetCalibrated* Target() const override { return m_Companion; }
    void Name(IString& name) const override { name.Assign("Midpoint"); }
    bool SetInputPosition(std::uint32_t index, const double*) override
    {
        return index < m_InputCount;
    }
    bool InputPosition(std::uint32_t, double*) const override { return false; }
    void ClearInputs() override {}
    bool IsComputable() const override { return true; }
    std::uint32_t ParameterCount() const override { return 0; }
    bool ParameterName(std::uint32_t, IString&) const override { return false; }
    bool Parameter(std::uint32_t, double&) const override { return false; }
    bool SetParameter(std::uint32_t, double) override { return false; }
    bool Result(double*) const override { return false; }
    double Confidence() const override { return 1.0; }
    bool SetSegmentPose(const double*) override { return false; }
    bool SegmentPose(double*) const override { return false; }
    void Reset() override {}
    std::uint32_t SegmentId() const override { return Arbor::NoId; }
    void Destroy() override
    {
        if (m_Released != nullptr)
            m_Released->fetch_add(1);
        delete this;
    }

private:
    std::atomic<int>* m_Released;
    std::uint32_t m_InputCount;
    ITargetCalibrated* m_Companion;
};

/// Removes every entry of the process-wide target table.
inline void ClearTargetTable()
{
    ITargetFactory& table = VTargetFactory::Factory();
    VStringStd name;
    while (table.Name(0, name))
        table.Remove(name.CStr());
}

/// Runs `work` on another thread and waits for it at most `limit`. A registry that
/// deadlocks cannot be recovered from, so a timeout ends the test program with a message.
inline void RunOrAbort(const char* what, const std::function<void()>& work,
                       std::chrono::seconds limit = std::chrono::seconds(20))
{
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) != std::future_status::ready)
    {
        std::fprintf(stderr, "%s did not finish within %lld s: the registry deadlocked\n", what,
                     static_cast<long long>(limit.count()));
        std::abort();
    }
    runner.join();
    done.get();
}
} // namespace ArborTest
