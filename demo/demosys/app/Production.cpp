#include "Production.h"

#include "Demo.h"
#include "ORVDemosys.h"
#include "ProgressBar.h"
#include "ResourceDefinition.h"
#include "ShaderCache.h"

void Production::install(Demo& demo) const
{
    if (makeProgressBar)
        ORVDemosys::progressBar = makeProgressBar();
    if (makeShaderCache)
        ORVDemosys::shaderCache = makeShaderCache();
    ORVDemosys::resources = makeResources();
    demo.setTitle(title);
}
