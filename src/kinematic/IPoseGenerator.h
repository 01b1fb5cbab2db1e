// A pose generator: puts a calibrated subject into one of a set of named poses.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ISubjectCalibrated.h"
#include "params/IString.h"

#include <cstdint>

/// Generates named poses (for example "T-pose", "Neutral") for a calibrated subject, as
/// starting points for calibration and solving. Implemented by the programs that use
/// Arbor; deleted by its owner (the destructor is public). Not thread-safe: one caller
/// at a time.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IPoseGenerator
{
public:
    virtual ~IPoseGenerator();

    /// Number of poses offered.
    virtual std::uint32_t PoseCount() const = 0;
    /// Copies the name of pose `index` into `name`; false when `index` >= PoseCount().
    virtual bool PoseName(std::uint32_t index, IString& name) const = 0;
    /// Sets the joint values and root pose of `subject` to pose `index` and updates its
    /// global poses; false when `index` is out of range or the pose does not fit the
    /// subject's skeleton.
    virtual bool Generate(std::uint32_t index, ISubjectCalibrated& subject) = 0;

protected:
    IPoseGenerator();
    IPoseGenerator(const IPoseGenerator& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IPoseGenerator& operator=(const IPoseGenerator& other);
};
