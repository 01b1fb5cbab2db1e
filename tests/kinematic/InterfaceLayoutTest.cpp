// The exported interfaces' virtual tables: programs built against Arbor call the
// operations by their place in the table, so the order and count must not drift.
// On this ABI (Itanium C++), a virtual destructor takes two entries at its place.
#include "kinematic/IComputeSegment.h"
#include "kinematic/IComputeSubject.h"
#include "kinematic/IComputeTarget.h"
#include "kinematic/IComputeTargetFactory.h"
#include "kinematic/IJointCalibrated.h"
#include "kinematic/IPoseGenerator.h"
#include "kinematic/ISegmentCalibrated.h"
#include "kinematic/ISkeletonParameters.h"
#include "kinematic/ISubjectCalibrated.h"
#include "kinematic/ISubjectSetCalibrated.h"
#include "kinematic/ITargetCalibrated.h"
#include "kinematic/ITargetFactory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace
{
/// The virtual-table entry a pointer to a virtual member designates: the Itanium ABI
/// stores 1 plus the entry's byte offset in the first word. -1 for a non-virtual one.
template <typename Member> long EntryOf(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(std::uintptr_t));
    std::uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    if ((words[0] & 1) == 0)
        return -1;
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

/// The entries of the given operations, in the order given.
template <typename... Members> std::vector<long> EntriesOf(Members... members)
{
    return {EntryOf(members)...};
}

/// first, first + 1, ... for `count` operations.
std::vector<long> Consecutive(long first, std::size_t count)
{
    std::vector<long> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back(first + static_cast<long>(i));
    return entries;
}

/// Checks an interface whose slot 0 is its virtual destructor and that has `slots`
/// slots in all: the operations follow the destructor's two entries in order.
template <typename Interface, typename... Members>
void ExpectDestructorThenOperations(std::size_t slots, Members... members)
{
    static_assert(std::is_abstract_v<Interface>);
    static_assert(std::has_virtual_destructor_v<Interface>);
    static_assert(sizeof(Interface) == sizeof(void*), "interfaces carry no data");
    EXPECT_EQ(sizeof...(members) + 1, slots);
    EXPECT_EQ(EntriesOf(members...), Consecutive(2, sizeof...(members)));
}
} // namespace

TEST(InterfaceLayout, OperationsKeepTheirPlacesInTheVirtualTables)
{
    {
        SCOPED_TRACE("IComputeSegment: five pure slots and no virtual destructor");
        static_assert(!std::has_virtual_destructor_v<IComputeSegment>);
        static_assert(sizeof(IComputeSegment) == sizeof(void*));
        EXPECT_EQ(EntriesOf(&IComputeSegment::SegmentName, &IComputeSegment::InputCount,
                            &IComputeSegment::InputName, &IComputeSegment::Compute,
                            &IComputeSegment::Destroy),
                  Consecutive(0, 5));
    }
    {
        SCOPED_TRACE("ISegmentCalibrated");
        using I = ISegmentCalibrated;
        ExpectDestructorThenOperations<I>(
            18, &I::Destroy, &I::Name, &I::SegmentId, &I::ParentId, &I::ChildCount, &I::ChildId,
            &I::TargetCount, &I::TargetId, &I::Length, &I::Mass, &I::CentreOfMass, &I::Inertia,
            &I::LocalPose, &I::GlobalPose, &I::SetGlobalPose, &I::IsPoseValid, &I::Invalidate);
    }
    {
        SCOPED_TRACE("IJointCalibrated");
        using I = IJointCalibrated;
        ExpectDestructorThenOperations<I>(
            25, &I::Destroy, &I::Name, &I::JointId, &I::ParentSegmentId, &I::ChildSegmentId,
            &I::DegreesOfFreedom, &I::DegreeOfFreedomName, &I::IsTranslational, &I::Axis,
            &I::Limits, &I::SetLimits, &I::Value, &I::SetValue, &I::Values, &I::SetValues,
            &I::ResetValues, &I::ParentOffset, &I::SetParentOffset, &I::ChildOffset,
            &I::SetChildOffset, &I::Stiffness, &I::SetStiffness, &I::Transform, &I::IsWithinLimits);
    }
    {
        SCOPED_TRACE("IComputeSubject: pure public destructor in slot 0");
        using I = IComputeSubject;
        static_assert(std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(13, &I::Attach, &I::Detach, &I::IsAttached,
                                          &I::TargetCount, &I::TargetName, &I::SetTargetPosition,
                                          &I::SetTargetOccluded, &I::ClearTargets, &I::Compute,
                                          &I::Residual, &I::Iterations, &I::SetMaxIterations);
    }
    {
        SCOPED_TRACE("IComputeTarget");
        using I = IComputeTarget;
        static_assert(std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(
            23, &I::InputCount, &I::Compute, &I::InputName, &I::InputId, &I::SetInputId, &I::Target,
            &I::Name, &I::SetInputPosition, &I::InputPosition, &I::ClearInputs, &I::IsComputable,
            &I::ParameterCount, &I::ParameterName, &I::Parameter, &I::SetParameter, &I::Result,
            &I::Confidence, &I::SetSegmentPose, &I::SegmentPose, &I::Reset, &I::SegmentId,
            &I::Destroy);
    }
    {
        SCOPED_TRACE("ITargetCalibrated: protected destructor and assignment");
        using I = ITargetCalibrated;
        static_assert(!std::is_destructible_v<I>);
        static_assert(!std::is_copy_assignable_v<I>);
        ExpectDestructorThenOperations<I>(13, &I::Radius, &I::Destroy, &I::Name, &I::SegmentName,
                                          &I::TargetId, &I::LocalPosition, &I::SetLocalPosition,
                                          &I::Position, &I::SetPosition, &I::SetOccluded,
                                          &I::IsOccluded, &I::SetRadius);
    }
    {
        SCOPED_TRACE("IComputeTargetFactory");
        using I = IComputeTargetFactory;
        static_assert(!std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(7, &I::Register, &I::Unregister, &I::IsRegistered,
                                          &I::InputCountByName, &I::ComputeTarget, &I::InputCount);
    }
    {
        SCOPED_TRACE("ITargetFactory");
        using I = ITargetFactory;
        static_assert(!std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(15, &I::Count, &I::Name, &I::SegmentByName, &I::Segment,
                                          &I::DescriptionByName, &I::Description, &I::Find,
                                          &I::SetSegment, &I::SetDescription, &I::Add, &I::Remove,
                                          &I::Contains, &I::RadiusByName, &I::Radius);
    }
    {
        SCOPED_TRACE("ISubjectCalibrated");
        using I = ISubjectCalibrated;
        static_assert(!std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(
            27, &I::Destroy, &I::Name, &I::SetName, &I::SegmentCount, &I::Segment, &I::FindSegment,
            &I::RootSegmentId, &I::JointCount, &I::Joint, &I::FindJoint, &I::TargetCount,
            &I::Target, &I::FindTarget, &I::Parameters, &I::IsCalibrated, &I::SetCalibrated,
            &I::Mass, &I::SetMass, &I::Height, &I::SetHeight, &I::RootPose, &I::SetRootPose,
            &I::UpdateGlobalPoses, &I::ApplyPose, &I::PoseValueCount, &I::CurrentPose);
    }
    {
        SCOPED_TRACE("ISubjectSetCalibrated");
        using I = ISubjectSetCalibrated;
        static_assert(std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(8, &I::Count, &I::Subject, &I::Find, &I::Add, &I::Remove,
                                          &I::Clear, &I::Contains);
    }
    {
        SCOPED_TRACE("ISkeletonParameters");
        using I = ISkeletonParameters;
        static_assert(!std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(7, &I::Destroy, &I::Count, &I::Name, &I::Find, &I::Value,
                                          &I::SetValue);
    }
    {
        SCOPED_TRACE("IPoseGenerator");
        using I = IPoseGenerator;
        static_assert(std::is_destructible_v<I>);
        ExpectDestructorThenOperations<I>(4, &I::PoseCount, &I::PoseName, &I::Generate);
    }
}
