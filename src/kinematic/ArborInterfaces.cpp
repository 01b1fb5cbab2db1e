// The special members of the exported interfaces. They are defined here, out of line,
// so that libArbor exports them together with each interface's virtual table: programs
// derive from the interfaces and call these. Interfaces carry no state, so
// construction and copying only set the virtual-table pointer, and assignment returns
// the left operand unchanged.
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

IComputeSegment::IComputeSegment() = default;
IComputeSegment::IComputeSegment(const IComputeSegment&) = default;
IComputeSegment& IComputeSegment::operator=(const IComputeSegment&)
{
    return *this;
}

ISegmentCalibrated::ISegmentCalibrated() = default;
ISegmentCalibrated::ISegmentCalibrated(const ISegmentCalibrated&) = default;
ISegmentCalibrated::~ISegmentCalibrated() = default;
ISegmentCalibrated& ISegmentCalibrated::operator=(const ISegmentCalibrated&)
{
    return *this;
}

IJointCalibrated::IJointCalibrated() = default;
IJointCalibrated::IJointCalibrated(const IJointCalibrated&) = default;
IJointCalibrated::~IJointCalibrated() = default;
IJointCalibrated& IJointCalibrated::operator=(const IJointCalibrated&)
{
    return *this;
}

IComputeSubject::IComputeSubject() = default;
IComputeSubject::IComputeSubject(const IComputeSubject&) = default;
IComputeSubject::~IComputeSubject() = default;
IComputeSubject& IComputeSubject::operator=(const IComputeSubject&)
{
    return *this;
}

IComputeTarget::IComputeTarget() = default;
IComputeTarget::IComputeTarget(const IComputeTarget&) = default;
IComputeTarget::~IComputeTarget() = default;
IComputeTarget& IComputeTarget::operator=(const IComputeTarget&)
{
    return *this;
}

ITargetCalibrated::ITargetCalibrated() = default;
ITargetCalibrated::ITargetCalibrated(const ITargetCalibrated&) = default;
ITargetCalibrated::~ITargetCalibrated() = default;
ITargetCalibrated& ITargetCalibrated::operator=(const ITargetCalibrated&)
{
    return *this;
}

IComputeTargetFactory::IComputeTargetFactory() = default;
IComputeTargetFactory::IComputeTargetFactory(const IComputeTargetFactory&) = default;
IComputeTargetFactory::~IComputeTargetFactory() = default;
IComputeTargetFactory& IComputeTargetFactory::operator=(const IComputeTargetFactory&)
{
    return *this;
}

ITargetFactory::ITargetFactory() = default;
ITargetFactory::ITargetFactory(const ITargetFactory&) = default;
ITargetFactory::~ITargetFactory() = default;
ITargetFactory& ITargetFactory::operator=(const ITargetFactory&)
{
    return *this;
}

ISubjectCalibrated::ISubjectCalibrated() = default;
ISubjectCalibrated::ISubjectCalibrated(const ISubjectCalibrated&) = default;
ISubjectCalibrated::~ISubjectCalibrated() = default;
ISubjectCalibrated& ISubjectCalibrated::operator=(const ISubjectCalibrated&)
{
    return *this;
}

ISubjectSetCalibrated::ISubjectSetCalibrated() = default;
ISubjectSetCalibrated::ISubjectSetCalibrated(const ISubjectSetCalibrated&) = default;
ISubjectSetCalibrated::~ISubjectSetCalibrated() = default;
ISubjectSetCalibrated& ISubjectSetCalibrated::operator=(const ISubjectSetCalibrated&)
{
    return *this;
}

ISkeletonParameters::ISkeletonParameters() = default;
ISkeletonParameters::ISkeletonParameters(const ISkeletonParameters&) = default;
ISkeletonParameters::~ISkeletonParameters() = default;
ISkeletonParameters& ISkeletonParameters::operator=(const ISkeletonParameters&)
{
    return *this;
}

IPoseGenerator::IPoseGenerator() = default;
IPoseGenerator::IPoseGenerator(const IPoseGenerator&) = default;
IPoseGenerator::~IPoseGenerator() = default;
IPoseGenerator& IPoseGenerator::operator=(const IPoseGenerator&)
{
    return *this;
}
