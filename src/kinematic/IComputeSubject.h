// A subject computation: solves a calibrated subject's pose from one frame of target
// positions.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ISubjectCalibrated.h"
#include "params/IString.h"

#include <cstdint>

/// Solves the pose of an attached subject from the positions of its targets, frame by
/// frame: supply the visible positions, then Compute. Implemented by the programs that
/// use Arbor; deleted by its owner (the destructor is public). Not thread-safe: one
/// caller at a time.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IComputeSubject
{
public:
    /// Pure, yet defined by Arbor so that implementations can be destroyed.
    virtual ~IComputeSubject() = 0;

    /// Attaches the subject to solve; it is not owned and must outlive the attachment.
    /// False when `subject` is null or not calibrated.
    virtual bool Attach(ISubjectCalibrated* subject) = 0;
    /// Detaches the subject; inputs are cleared.
    virtual void Detach() = 0;
    /// True while a subject is attached.
    virtual bool IsAttached() const = 0;
    /// Number of targets the solver reads (those of the attached subject).
    virtual std::uint32_t TargetCount() const = 0;
    /// Copies the name of target `index` into `name`; false when out of range.
    virtual bool TargetName(std::uint32_t index, IString& name) const = 0;
    /// Supplies the position of target `index` for this frame; false when out of range.
    virtual bool SetTargetPosition(std::uint32_t index,
                                   const double position[Arbor::PositionSize]) = 0;
    /// Marks target `index` occluded for this frame; false when out of range.
    virtual bool SetTargetOccluded(std::uint32_t index) = 0;
    /// Marks every target occluded: the start of a new frame.
    virtual void ClearTargets() = 0;
    /// Solves the pose and applies it to the attached subject; false when nothing is
    /// attached or the visible targets do not determine a pose.
    virtual bool Compute() = 0;
    /// Root-mean-square distance in millimetres between the supplied and the fitted
    /// target positions after the last Compute.
    virtual double Residual() const = 0;
    /// Iterations the last Compute used.
    virtual std::uint32_t Iterations() const = 0;
    /// Bounds the iterations of Compute; at least 1.
    virtual void SetMaxIterations(std::uint32_t iterations) = 0;

protected:
    IComputeSubject();
    IComputeSubject(const IComputeSubject& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IComputeSubject& operator=(const IComputeSubject& other);
};
