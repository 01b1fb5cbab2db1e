#include "errorreporting/ReporterTexts.h"

namespace ReporterTexts
{

std::string NotSentInformation(const std::string& dumpPath, const std::string& incidentId)
{
    return "Information about this crash has not been sent to ZEL.\nPlease e-mail the file " +
           dumpPath + " to " + SupportAddress + ".\nYour incident ID is " + incidentId + ".";
}

int NormaliseBrand(long long index)
{
    return index == 1 ? 1 : 0;
}

const char* BrandWord(int brand)
{
    return BrandWords[NormaliseBrand(brand)];
}

std::string CausedAnError(const std::string& baseName)
{
    return baseName + " has caused an error";
}

std::string Explanation(int brand)
{
    return std::string("An error has occurred. The application will close. We apologize for the "
                       "inconvenience.\n\nIf you would like to notify ") +
           BrandWord(brand) +
           " of this error, please enter any comments you have and click \"Send Report\".";
}

std::string DialogCaption(int brand)
{
    return std::string(BrandWord(brand)) + " Error Reporting";
}

} // namespace ReporterTexts
