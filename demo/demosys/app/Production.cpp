#include "Production.h"

#include "ORVDemosys.h"
#include "ProgressBar.h"
#include "ResourceDefinition.h"
#include "ShaderCache.h"

void Production::install() const
{
    if (makeProgressBar)
        ORVDemosys::progressBar = makeProgressBar();
    if (makeShaderCache)
        ORVDemosys::shaderCache = makeShaderCache();
    ORVDemosys::resources = makeResources();
}
