// Constants unit of the grid behaviour component; it holds nothing and exists so that units that
// include it keep building.
#pragma once
