"""A grid into one NetCDF file, block by block. The file is laid out first, each block a
whole chunk of every variable; then each block is simulated and compressed by whoever runs
it (a thread here or a worker of a Dask cluster), and this process writes the compressed
chunks into the file in order. The HDF5 library runs one call at a time, for reading the
climate as for writing, so that compressing the chunks where they are made keeps the
writer's hold on it short."""

import zlib

import numpy as np

from . import grid_blocks, grid_climate, grid_netcdf

# Every block variable's filters, in the order HDF5 applies them when writing: the bytes of
# the values regrouped by their place in a value, then zlib at the level below.
SHUFFLE, DEFLATE = 2, 1  # HDF5's filter identifiers
DEFLATE_LEVEL = 1


class ChunkFormat:
    """How one variable's block is stored: its type and fill value in the file, the full
    shape of its chunk and the axis along the blocks."""

    def __init__(self, dtype, fill, shape, axis):
        self.dtype, self.fill, self.shape, self.axis = np.dtype(dtype), fill, shape, axis


def chunk_formats(layout, plan):
    """The ChunkFormat of each variable that the blocks write, from the layout's encoding."""
    encoding = grid_netcdf.encoding_of(layout)
    formats = {}
    for name, shape in grid_blocks.chunk_sizes(layout, plan).items():
        variable, settings = layout[name], encoding[name]
        formats[name] = ChunkFormat(settings.get("dtype", variable.dtype), settings.get("_FillValue"), shape,
                                    variable.dims.index(plan.dim))
    return formats


def compressed_chunk(values, chunk):
    """A block's values as the file's filters leave them: cast to the stored type (a day
    count's missing year as its fill value), padded to a whole chunk at the grid's edge,
    shuffled and deflated."""
    if chunk.dtype.kind == "i" and values.dtype.kind == "f":
        values = np.where(np.isnan(values), chunk.fill, values)
    values = values.astype(chunk.dtype, copy=False)
    short = chunk.shape[chunk.axis] - values.shape[chunk.axis]
    if short:
        padding = [(0, 0)] * values.ndim
        padding[chunk.axis] = (0, short)
        values = np.pad(values, padding, constant_values=chunk.fill)
    raw = np.ascontiguousarray(values).view(np.uint8)
    if chunk.dtype.itemsize > 1:
        raw = raw.reshape(-1, chunk.dtype.itemsize).T
    return zlib.compress(np.ascontiguousarray(raw).tobytes(), DEFLATE_LEVEL)


def compressed_block(arguments, plan, formats, index):
    """Runs on a worker: one block read, simulated and compressed, chunk by chunk."""
    block, with_data = grid_climate.simulate_region(arguments, plan.region(index), threads=1)
    chunks = {name: compressed_chunk(variable.values, formats[name])
              for name, variable in grid_blocks.along_plan(block, plan).data_vars.items()}
    return chunks, with_data


def create_netcdf(layout, plan, formats, path):
    """The NetCDF file of the grid with every variable defined and none written: xarray
    writes the coordinates, the grid mapping and the class names, and the block variables
    are defined here, one block to a chunk, with the filters that `compressed_chunk` applies."""
    import netCDF4
    encoding = grid_netcdf.encoding_of(layout)
    layout.drop_vars(list(formats)).to_netcdf(path, format="NETCDF4",
                                              encoding={k: v for k, v in encoding.items() if k not in formats})
    output = netCDF4.Dataset(path, "a")
    try:
        for name, chunk in formats.items():
            variable = layout[name]
            created = output.createVariable(name, chunk.dtype, variable.dims, zlib=True, complevel=DEFLATE_LEVEL,
                                            shuffle=True, chunksizes=chunk.shape, fill_value=chunk.fill)
            attributes = dict(variable.attrs)
            auxiliary = [coordinate for coordinate, values in layout.coords.items()
                         if coordinate not in layout.dims and values.dims and set(values.dims) <= set(variable.dims)]
            if auxiliary:
                attributes["coordinates"] = " ".join(auxiliary)
            created.setncatts(attributes)
    finally:
        output.close()


def _filters(dataset):
    """The identifiers of a dataset's filters, in the order they are applied on writing."""
    properties = dataset.id.get_create_plist()
    return [properties.get_filter(index)[0] for index in range(properties.get_nfilters())]


def _write_block(datasets, formats, start, chunks):
    """One block's compressed chunks into the file, the block starting at row `start`."""
    from xarray.backends.locks import HDF5_LOCK
    try:
        with HDF5_LOCK:
            for name, data in chunks.items():
                offset = tuple(start if axis == formats[name].axis else 0 for axis in range(len(formats[name].shape)))
                datasets[name].id.write_direct_chunk(offset, data)
    except OSError as error:  # the HDF5 library's word for a failed write (a full disk)
        raise RuntimeError(str(error)) from None


def write_netcdf(arguments, plan, executor, layout, path, progress):
    """The grid into one NetCDF file at `path`: the layout first, then each block's chunks
    in order, as they come from the workers."""
    try:
        import h5py
    except ImportError as missing:
        raise ImportError("a NetCDF output is written block by block with h5py (Debian: python3-h5py)") from missing
    from xarray.backends.locks import HDF5_LOCK
    layout = grid_netcdf.cf_complete(layout)
    layout.attrs.setdefault("Conventions", "CF-1.8")
    formats = chunk_formats(layout, plan)
    create_netcdf(layout, plan, formats, path)  # xarray takes the lock of the HDF5 library itself
    with HDF5_LOCK:
        output = h5py.File(path, "r+")
        datasets = {name: output[name] for name in formats}
    waiting, following, with_data = {}, 0, 0
    try:
        for name, dataset in datasets.items():
            # A shuffle of one-byte values leaves them as they are, with the filter or without.
            if _filters(dataset) not in ([[SHUFFLE, DEFLATE]] if formats[name].dtype.itemsize > 1 else
                                         [[SHUFFLE, DEFLATE], [DEFLATE]]):
                raise RuntimeError(f"the NetCDF library laid out {name} with the filters {_filters(dataset)}")
        for index, (chunks, cells) in grid_blocks.pending(
                executor, lambda i: compressed_block(arguments, plan, formats, i), range(plan.count),
                executor.workers + 1):
            waiting[index] = chunks
            with_data += cells
            while following in waiting:  # in order, so the file grows as one stream
                _write_block(datasets, formats, following * plan.rows, waiting.pop(following))
                progress.block_done()
                following += 1
    finally:
        with HDF5_LOCK:
            output.close()
    return with_data
