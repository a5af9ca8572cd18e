// Constants of the grid behaviour component: none yet; the header exists so that files that include it
// keep building.
#pragma once
